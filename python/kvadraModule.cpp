// The Python module 'kvadra': the workbench's operations and measures on NumPy arrays.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstring>
#include <limits>

#include "cArgumentReader.h"
#include "cCliError.h"
#include "cPythonKernel.h"
#include "kvImages/cImage.h"
#include "kvRuntime/cWorkerPool.h"

namespace py = pybind11;

namespace {

const char* const ModuleDoc = R"(The Kvadra workbench's noises, filters and measures on NumPy arrays.

Pictures are uint8 arrays of shape (H, W) (grey) or (H, W, 3) (RGB), in any memory order;
every call returns new arrays and never changes its inputs. The operations and the seeds are
those of the 'kvadra' program: apply(img, name, seed=N) gives the picture 'kvadra run --seed N'
writes, measure() and analyze() the numbers of 'kvadra measure' and 'kvadra analyze'.

Threads: the kernel's operations, their parameters and its random generator are shared by the
whole process, so the module serialises its calls with one lock. Each call releases the GIL
while it waits for that lock and while the kernel works (on all cores, see set_threads), so
other Python threads run meanwhile; two threads calling apply() at once both get their own,
correct results, one after the other.

A kernel failure raises an exception (ValueError for a wrong argument, OSError for a file,
RuntimeError for a failed operation, kvadra.KernelError for a failed kernel check) and never
ends the interpreter.)";

std::string TypeName(const py::handle& object)
{
  return py::str(py::type::handle_of(object).attr("__name__"));
}

std::string ShapeText(const py::array& array)
{
  std::string text = "(";
  for (py::ssize_t i = 0; i < array.ndim(); ++i) text += (i ? ", " : "") + std::to_string(array.shape(i));
  return text + (array.ndim() == 1 ? ",)" : ")");
}

// A copy of the array as the kernel holds pictures: rows of blue, green, red samples.
std::unique_ptr<cImage> PictureFromArray(const py::handle& object, const std::string& what)
{
  const std::string wanted = what + " must be a numpy uint8 array of shape (H, W) or (H, W, 3)";
  if (!py::isinstance<py::array>(object)) throw py::value_error(wanted + ", got " + TypeName(object));
  const auto array = py::reinterpret_borrow<py::array>(object);
  const py::dtype dtype = array.dtype();
  if (dtype.kind() != 'u' || dtype.itemsize() != 1)
    throw py::value_error(wanted + ", got dtype " + std::string(py::str(dtype.attr("name"))));
  const bool colour = array.ndim() == 3;
  if ((array.ndim() != 2 && !colour) || (colour && array.shape(2) != 3) || array.shape(0) < 1 || array.shape(1) < 1)
    throw py::value_error(wanted + ", got shape " + ShapeText(array));
  const py::ssize_t height = array.shape(0), width = array.shape(1), channels = colour ? 3 : 1;
  if (height > std::numeric_limits<int>::max() / 4 || width > std::numeric_limits<int>::max() / 4 ||
      uint64_t(height) * uint64_t(width) * uint64_t(channels) > cBMPSurface::MaxImageBytes)
    throw py::value_error(what + " of shape " + ShapeText(array) + " is larger than the kernel takes (" +
                          std::to_string(cBMPSurface::MaxImageBytes) + " bytes)");
  auto picture = std::make_unique<cImage>();
  picture->SetSize(int(width), int(height), int(channels));
  cBMPSurface& surface = *picture->GetSurface();
  const auto* base = static_cast<const uint8_t*>(array.data());
  const py::ssize_t rowStep = array.strides(0), columnStep = array.strides(1),
                    channelStep = colour ? array.strides(2) : 0;
  for (py::ssize_t y = 0; y < height; ++y) {
    uint8_t* row = surface.Row(int(y));
    const uint8_t* source = base + y * rowStep;
    if (!colour) {
      for (py::ssize_t x = 0; x < width; ++x) row[x] = source[x * columnStep];
      continue;
    }
    for (py::ssize_t x = 0; x < width; ++x, row += 3) {
      const uint8_t* pixel = source + x * columnStep;
      row[0] = pixel[2 * channelStep];
      row[1] = pixel[channelStep];
      row[2] = pixel[0];
    }
  }
  return picture;
}

py::array ArrayFromPicture(const cImage& picture)
{
  const cBMPSurface& surface = *picture.GetSurface();
  const int width = surface.GetWidth(), height = surface.GetHeight();
  const bool colour = surface.GetChannelsCount() == 3;
  py::array_t<uint8_t> array =
      colour ? py::array_t<uint8_t>({height, width, 3}) : py::array_t<uint8_t>({height, width});
  auto* target = static_cast<uint8_t*>(array.mutable_data());
  const size_t rowBytes = size_t(width) * (colour ? 3 : 1);
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = surface.Row(y);
    uint8_t* out = target + size_t(y) * rowBytes;
    if (!colour) {
      std::memcpy(out, row, rowBytes);
      continue;
    }
    for (int x = 0; x < width; ++x, row += 3, out += 3) {
      out[0] = row[2];
      out[1] = row[1];
      out[2] = row[0];
    }
  }
  return array;
}

std::optional<uint64_t> SeedOf(const py::object& seed)
{
  if (seed.is_none()) return std::nullopt;
  if (!py::isinstance<py::int_>(seed) || py::isinstance<py::bool_>(seed))
    throw py::value_error("seed must be a whole number 0..2**64-1 or None, got " + TypeName(seed));
  const unsigned long long value = PyLong_AsUnsignedLongLong(seed.ptr());
  if (PyErr_Occurred()) {
    PyErr_Clear();
    throw py::value_error("seed must lie in 0..2**64-1, got " + std::string(py::str(seed)));
  }
  return uint64_t(value);
}

// "NAME=VALUE" texts as 'kvadra run --set' takes them, so a value is checked as there.
void AddSettings(std::vector<std::string>& settings, const py::handle& mapping, bool underscoresAreSpaces)
{
  if (mapping.is_none()) return;
  if (!py::isinstance<py::dict>(mapping))
    throw py::value_error("params must be a dict of parameter names and values, got " + TypeName(mapping));
  for (const auto& [key, value] : py::reinterpret_borrow<py::dict>(mapping)) {
    std::string name = py::str(key);
    if (underscoresAreSpaces) std::replace(name.begin(), name.end(), '_', ' ');
    settings.push_back(name + "=" + std::string(py::str(value)));
  }
}

std::optional<sRect> RegionOf(const py::object& region)
{
  if (region.is_none()) return std::nullopt;
  const char* wanted = "region must be (left, top, right, bottom) in whole pixels, right and bottom exclusive";
  if (!py::isinstance<py::sequence>(region) || py::isinstance<py::str>(region) || py::len(region) != 4)
    throw py::value_error(std::string(wanted) + ", got " + std::string(py::repr(region)));
  int sides[4];
  for (size_t i = 0; i < 4; ++i) {
    const py::object side = region[py::int_(i)];
    if (!py::isinstance<py::int_>(side) && !py::hasattr(side, "__index__"))
      throw py::value_error(std::string(wanted) + ", got " + std::string(py::repr(region)));
    const long long value = py::int_(side);
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
      throw py::value_error(std::string(wanted) + ", got " + std::string(py::repr(region)));
    sides[i] = int(value);
  }
  return sRect{sides[0], sides[1], sides[2], sides[3]};
}

py::object Operations()
{
  std::string text;
  {
    py::gil_scoped_release release;
    text = cPythonKernel::Instance().OperationsJson();
  }
  return py::module_::import("json").attr("loads")(text);
}

py::array Apply(const py::object& image, const std::string& name, const py::object& seed, const py::object& region,
                const py::object& params, const py::kwargs& kwargs)
{
  const auto source = PictureFromArray(image, "image");
  sOperationSettings operation{name, {}};
  AddSettings(operation.Settings, params, false);
  AddSettings(operation.Settings, kwargs, true);
  const std::optional<uint64_t> fixedSeed = SeedOf(seed);
  const std::optional<sRect> rectangle = RegionOf(region);
  std::unique_ptr<cImage> result;
  {
    py::gil_scoped_release release;
    result = cPythonKernel::Instance().Apply(*source, operation, fixedSeed, rectangle);
  }
  return ArrayFromPicture(*result);
}

py::dict Measure(const py::object& image, const py::object& origin, const py::object& window, const py::object& k1,
                 const py::object& k2)
{
  const auto measured = PictureFromArray(image, "image");
  const auto reference = PictureFromArray(origin, "origin");
  cPythonKernel::sMeasureSettings settings;
  try {
    const auto sizes = py::cast<std::pair<int, int>>(window);
    settings.WindowWidth = sizes.first;
    settings.WindowHeight = sizes.second;
  } catch (const py::cast_error&) {
    throw py::value_error("window must be (width, height), got " + std::string(py::repr(window)));
  }
  if (settings.WindowWidth < 1 || settings.WindowHeight < 1 || settings.WindowWidth > MaxMeasureWindow ||
      settings.WindowHeight > MaxMeasureWindow)
    throw py::value_error("window sizes must lie in 1.." + std::to_string(MaxMeasureWindow) + ", got " +
                          std::string(py::repr(window)));
  for (auto [value, name, target] : {std::tuple{&k1, "k1", &settings.K1}, {&k2, "k2", &settings.K2}}) {
    if (value->is_none()) continue;
    double k = -1;
    try {
      k = py::cast<double>(*value);
    } catch (const py::cast_error&) {}
    if (!(k >= 0 && k <= 1))
      throw py::value_error(std::string(name) + " must lie in 0..1, got " + std::string(py::repr(*value)));
    *target = k;
  }
  std::vector<std::pair<std::string, double>> values;
  {
    py::gil_scoped_release release;
    values = cPythonKernel::Instance().Measure(*measured, *reference, settings);
  }
  py::dict result;
  for (const auto& [name, value] : values) result[py::str(name)] = value;
  return result;
}

// "NAME", "NAME:PARAM=VALUE;PARAM=VALUE" (as --restore takes it) or (NAME, {PARAM: VALUE}).
sOperationSettings RestorationOf(const py::handle& item)
{
  if (py::isinstance<py::str>(item)) return cParameterAssigner::ParseOperation(py::str(item));
  if (py::isinstance<py::tuple>(item) && py::len(item) == 2 && py::isinstance<py::str>(item[py::int_(0)])) {
    sOperationSettings restoration{py::str(item[py::int_(0)]), {}};
    AddSettings(restoration.Settings, item[py::int_(1)], false);
    return restoration;
  }
  throw py::value_error("restore takes names, 'NAME:PARAM=VALUE;...' texts or (NAME, {PARAM: VALUE}) pairs, got " +
                        std::string(py::repr(item)));
}

py::dict Analyze(const py::object& image, const std::string& corrupt, const std::string& param,
                 const std::vector<double>& values, const py::object& restore, const std::vector<std::string>& criteria,
                 const py::object& seed, const py::object& corruptParams)
{
  cPythonKernel::sExperiment experiment;
  experiment.Corruption.Name = corrupt;
  AddSettings(experiment.Corruption.Settings, corruptParams, false);
  experiment.Parameter = param;
  experiment.Values = values;
  if (py::isinstance<py::str>(restore) || py::isinstance<py::tuple>(restore))
    experiment.Restorations.push_back(RestorationOf(restore));
  else
    for (const py::handle item : restore) experiment.Restorations.push_back(RestorationOf(item));
  experiment.Criteria = criteria;
  experiment.Seed = SeedOf(seed);
  std::unique_ptr<cImage> picture;
  std::string file;
  if (py::isinstance<py::str>(image) || py::hasattr(image, "__fspath__"))
    file = py::str(py::module_::import("os").attr("fspath")(image));
  else
    picture = PictureFromArray(image, "image");
  cResultTable table({});
  {
    py::gil_scoped_release release;
    table = picture ? cPythonKernel::Instance().Analyze(*picture, experiment)
                    : cPythonKernel::Instance().Analyze(file, experiment);
  }
  // One array per column, as the CSV has them: numbers as floats (NaN where a point is
  // missing), the criterion column as texts.
  py::module_ numpy = py::module_::import("numpy");
  py::dict columns;
  const auto& header = table.Header();
  for (size_t c = 0; c < header.size(); ++c) {
    py::list cells;
    bool numeric = true;
    for (const auto& row : table.Rows()) {
      const cResultTable::sCell& cell = row[c];
      if (cell.IsMissing)
        cells.append(std::numeric_limits<double>::quiet_NaN());
      else if (cell.IsNumber)
        cells.append(cell.Number);
      else {
        numeric = false;
        cells.append(cell.Text);
      }
    }
    columns[py::str(header[c])] = numeric ? numpy.attr("asarray")(cells, "float64") : numpy.attr("asarray")(cells);
  }
  return columns;
}

py::array Load(const std::string& path)
{
  std::unique_ptr<cImage> picture;
  {
    py::gil_scoped_release release;
    picture = cPythonKernel::Instance().Load(path);
  }
  return ArrayFromPicture(*picture);
}

void Save(const std::string& path, const py::object& image)
{
  const auto picture = PictureFromArray(image, "image");
  py::gil_scoped_release release;
  cPythonKernel::Instance().Save(*picture, path);
}

void SetThreads(int count)
{
  if (count < 1 || count > int(kvMaxThreadCount))
    throw py::value_error("set_threads takes 1.." + std::to_string(kvMaxThreadCount) + ", got " +
                          std::to_string(count));
  py::gil_scoped_release release;
  cPythonKernel::Instance().SetThreads(unsigned(count));
}

}  // namespace

PYBIND11_MODULE(kvadra, module)
{
  module.doc() = ModuleDoc;
  module.attr("__version__") = KV_VERSION;
  static py::exception<cPythonKernel::cAssertion> kernelError(module, "KernelError", PyExc_RuntimeError);
  py::register_exception_translator([](std::exception_ptr error) {
    try {
      if (error) std::rethrow_exception(error);
    } catch (const cCliError& e) {
      PyErr_SetString(e.ExitCode() == ecUsage ? PyExc_ValueError : PyExc_RuntimeError, e.what());
    } catch (const cPythonKernel::cFileError& e) {
      PyErr_SetString(PyExc_OSError, e.what());
    } catch (const cPythonKernel::cAssertion& e) {
      PyErr_SetString(kernelError.ptr(), e.what());
    }
  });

  module.def("operations", &Operations,
             "Every operation as a dict: uid, type, group, name and its parameters (index, name, kind, min, max,\n"
             "default, precision of a real, choices of an enumerated one), as 'kvadra list --json' gives them.");
  module.def("apply", &Apply, py::arg("image"), py::arg("name"), py::kw_only(), py::arg("seed") = py::none(),
             py::arg("region") = py::none(), py::arg("params") = py::none(),
             "apply(image, name, seed=None, region=None, params=None, **parameters) -> new array\n\n"
             "Runs the operation on a copy of the picture and returns the result (of the same shape, but for\n"
             "operations that change the geometry). Parameters go by name, with spaces written as underscores\n"
             "(Width_size=5), or as params={'Width size': 5}; values as 'kvadra run --set' takes them (numbers,\n"
             "True/False, a choice's text or index). seed=N gives the pictures of 'kvadra run --seed N'; None\n"
             "draws a new seed. region=(left, top, right, bottom), right and bottom exclusive, limits the run.");
  module.def("measure", &Measure, py::arg("image"), py::arg("origin"), py::arg("window") = std::pair<int, int>(7, 7),
             py::arg("k1") = py::none(), py::arg("k2") = py::none(),
             "measure(image, origin, window=(7, 7), k1=None, k2=None) -> dict\n\n"
             "MSE, PSNR, IQ, IQHVS and SSIM of image against origin (same shape), with the windowed indices\n"
             "over a window of (width, height) and SSIM's K1 and K2 (None: 0.01 and 0.03), then the 'Noise sigma'\n"
             "of image alone. The values of 'kvadra measure IMAGE --origin ORIGIN --window 7x7' (whose own\n"
             "default window is 5 x 5, as the desktop program's).");
  module.def("analyze", &Analyze, py::arg("image"), py::kw_only(), py::arg("corrupt"), py::arg("param"),
             py::arg("values"), py::arg("restore") = py::list(), py::arg("criteria") = std::vector<std::string>{"PSNR"},
             py::arg("seed") = py::none(), py::arg("corrupt_params") = py::none(),
             "analyze(image, corrupt=NAME, param=PARAM, values=[...], restore=[...], criteria=['PSNR'], seed=None,\n"
             "        corrupt_params=None) -> dict of arrays\n\n"
             "'kvadra analyze' on one picture (an array or a file name): corrupts it once per value of the\n"
             "corruption's parameter, restores each corrupted picture with every restoration ('NAME',\n"
             "'NAME:PARAM=VALUE;...' or (NAME, {PARAM: VALUE})) and measures it by each criterion (MSE, PSNR,\n"
             "IQ, IQHVS, SSIM, Time). The result has the columns of analyze's CSV: the parameter's values,\n"
             "then one per restoration (and, for several criteria, a first 'criterion' column), ready for\n"
             "pandas.DataFrame. With the same seed the numbers are those of 'kvadra analyze ... --seed N'.");
  module.def("load", &Load, py::arg("path"),
             "Reads a BMP, JPEG, PNG or TIFF picture (whatever its name) as an array; OSError with the\n"
             "reason when it cannot.");
  module.def("save", &Save, py::arg("path"), py::arg("image"),
             "Writes the picture as BMP or PNG (by the name's extension), never leaving a half-written file.");
  module.def("set_threads", &SetThreads, py::arg("count"),
             "Splits each operation over at most count threads (1..256); results do not depend on it.");
  module.def(
      "threads", [] { return cPythonKernel::Instance().Threads(); },
      "The thread count operations use (default: every core, or KVADRA_THREADS).");
}
