#include "TComparePage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cstring>

#include "DrawSurfaceInViewer.h"
#include "TPlaneViewer.h"
#include "kvFacade/cKvadraSystem.h"
#include "kvImages/cImage.h"
#include "kvFiles/cPngFile.h"
#include "kvNamedWidget.h"

namespace {
// Holding Space longer than this shows the other picture only while it is held.
constexpr int HoldMs = 400;
// The colour bar beside the map is drawn this high and scaled by nothing.
constexpr int BarHeight = 256;

bool SameContent(const cBMPSurface& x, const cBMPSurface& y)
{
  if (!cPictureComparison::SameGeometry(x, y)) return false;
  const size_t bytes = size_t(x.GetWidth()) * size_t(x.GetChannelsCount());
  for (int row = 0; row < x.GetHeight(); ++row)
    if (std::memcmp(x.Row(row), y.Row(row), bytes) != 0) return false;
  return true;
}

bool SameSettings(const sQualitySettings& x, const sQualitySettings& y)
{
  return x.WindowWidth == y.WindowWidth && x.WindowHeight == y.WindowHeight && x.K1 == y.K1 && x.K2 == y.K2;
}

// One pixel as the read-out writes it: "v" for grey, "(r, g, b)" for colour.
QString PixelText(const cBMPSurface& s, int x, int y, const cBMPSurface* minus = nullptr)
{
  const uint8_t* p = s.Row(y) + size_t(x) * size_t(s.GetChannelsCount());
  const uint8_t* q = minus ? minus->Row(y) + size_t(x) * size_t(s.GetChannelsCount()) : nullptr;
  auto value = [p, q](int c) { return QString::number(int(p[c]) - (q ? int(q[c]) : 0)); };
  if (s.GetChannelsCount() == 1) return value(0);
  return "(" + value(2) + ", " + value(1) + ", " + value(0) + ")";
}
}  // namespace

// A map computation: its own copies of the pictures, so that nothing the GUI thread does
// (undo, close) can pull them away while it runs.
struct TComparePage::sMapJob {
  cBMPSurface A, B;
  sQualitySettings Settings;
  bool ErrorMap = false;
  int Generation = 0;
  std::atomic<bool> Stop{false};
  bool Done = false;
  sQualityMap Map;
  cBMPSurface Picture;
};

TComparePage::TComparePage(QWidget* parent) : QWidget(parent), SpaceHeld(std::make_unique<QElapsedTimer>())
{
  CreateControls();
  LinkViewers();
  for (int key = 0; key < 4; ++key) {
    auto* shortcut = new QShortcut(QKeySequence(Qt::Key_1 + key), this);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(shortcut, &QShortcut::activated, this, [this, key] { SetMode(eMode(key)); });
  }
  ViewerB->installEventFilter(this);
  installEventFilter(this);
  ModeChanged();
}

TComparePage::~TComparePage()
{
  StopMap();
}

void TComparePage::CreateControls()
{
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(3, 3, 3, 3);
  layout->setSpacing(2);
  layout->addWidget(CreateControlPanel());

  MessageLabel = Named(new QLabel(this), "CompareMessage");
  MessageLabel->setWordWrap(true);
  MessageLabel->setAlignment(Qt::AlignCenter);
  MessageLabel->hide();
  layout->addWidget(MessageLabel);

  layout->addWidget(CreateViewers(), 1);
  ConnectControls();
}

QWidget* TComparePage::CreateControlPanel()
{
  auto* panel = Named(new QWidget(this), "ComparePanel");
  auto* row = new QHBoxLayout(panel);
  row->setContentsMargins(0, 0, 0, 0);
  auto addLabelled = [this, panel, row](const QString& caption, QWidget* field) {
    auto* label = new QLabel(caption, panel);
    label->setBuddy(field);
    row->addWidget(label);
    row->addWidget(field);
  };
  CompareWithBox = Named(new QComboBox(panel), "CompareWithBox", "Compare with");
  CompareWithBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  CompareWithBox->setMinimumContentsLength(18);
  addLabelled("Compare &with", CompareWithBox);
  ModeBox = Named(new QComboBox(panel), "CompareModeBox", "Compare mode");
  ModeBox->addItems({"Side by side", "Difference", "Flicker", "Quality map"});
  addLabelled("&Mode", ModeBox);
  GainEdit = Named(new QSpinBox(panel), "DifferenceGainEdit", "Difference gain");
  GainEdit->setRange(1, cPictureComparison::MaxGain);
  GainEdit->setValue(4);
  addLabelled("&Gain", GainEdit);
  SignedBox = Named(new QCheckBox("S&igned", panel), "SignedDifferenceBox");
  GreyBox = Named(new QCheckBox("G&rey", panel), "GreyDifferenceBox");
  ErrorMapBox = Named(new QCheckBox("S&quared error", panel), "ErrorMapBox");
  row->addWidget(SignedBox);
  row->addWidget(GreyBox);
  row->addWidget(ErrorMapBox);
  row->addStretch(1);
  SaveViewButton = Named(new QPushButton("Sa&ve view...", panel), "SaveViewButton");
  row->addWidget(SaveViewButton);
  return panel;
}

QWidget* TComparePage::CreateViewers()
{
  ViewerArea = Named(new QWidget(this), "CompareViewers");
  auto* viewers = new QHBoxLayout(ViewerArea);
  viewers->setContentsMargins(0, 0, 0, 0);
  auto column = [this, viewers](QLabel*& title, TPlaneViewer*& viewer, const char* titleName, const char* name,
                                const QString& accessible) {
    // Each column is a widget of its own, so that a hidden one gives its room to the other.
    auto* holder = new QWidget(ViewerArea);
    auto* box = new QVBoxLayout(holder);
    box->setContentsMargins(0, 0, 0, 0);
    title = Named(new QLabel(holder), titleName);
    title->setTextInteractionFlags(Qt::TextSelectableByMouse);
    viewer = Named(new TPlaneViewer(holder), name, accessible);
    viewer->SetPlaneSize(0, 0);
    viewer->SetBackColor(QColor(128, 128, 128));
    viewer->EnableVertScrollBar(true);
    viewer->EnableHorzScrollBar(true);
    viewer->EnableRulers(false);
    box->addWidget(title);
    box->addWidget(viewer, 1);
    viewers->addWidget(holder, 1);
  };
  column(TitleA, ViewerA, "CompareTitleA", "CompareViewerA", "Picture A");
  column(TitleB, ViewerB, "CompareTitleB", "CompareViewerB", "Picture B");
  ColourBar = Named(new QLabel(ViewerArea), "ColourBar", "Colour bar");
  ColourBar->setAlignment(Qt::AlignTop);
  viewers->addWidget(ColourBar);
  return ViewerArea;
}

void TComparePage::ConnectControls()
{
  ViewerA->OnVisibleRectDraw = [this](QPainter& canvas, const sViewerInfo& info) {
    if (Comparable()) DrawSurfaceInViewer(PictureASurface(), canvas, info);
  };
  ViewerB->OnVisibleRectDraw = [this](QPainter& canvas, const sViewerInfo& info) { DrawB(canvas, info); };

  connect(CompareWithBox, &QComboBox::activated, this, [this](int index) { SetPictureA(index); });
  connect(ModeBox, &QComboBox::currentIndexChanged, this, &TComparePage::ModeChanged);
  for (QCheckBox* box : {SignedBox, GreyBox, ErrorMapBox})
    connect(box, &QCheckBox::toggled, this, &TComparePage::UpdateView);
  connect(GainEdit, &QSpinBox::valueChanged, this, &TComparePage::UpdateView);
  connect(SaveViewButton, &QPushButton::clicked, this, &TComparePage::SaveView);
}

// Zoom, scroll and pixel read-out of the two viewers move together.
void TComparePage::LinkViewers()
{
  for (auto [from, to] : {std::pair{ViewerA, ViewerB}, std::pair{ViewerB, ViewerA}}) {
    connect(from, &TPlaneViewer::ZoomChanged, this, [this, to = to](int zoom) {
      if (Linking) return;
      Linking = true;
      to->Zoom(zoom);
      Linking = false;
    });
    connect(from, &TPlaneViewer::LookChanged, this, [this, to = to](float x, float y) {
      if (Linking || !to->IsPlaneSet()) return;
      Linking = true;
      to->SetLook(x, y);
      Linking = false;
    });
    connect(from, &TPlaneViewer::PlanePointHovered, this, [this](bool inside, int x, int y) {
      if (ShowPixelText) ShowPixelText(inside ? ReadOut(x, y) : QString());
    });
  }
}

const cBMPSurface* TComparePage::SurfaceOf(int id) const
{
  if (!KvadraSystem || id < 0 || id >= KvadraSystem->SavedImageCount()) return nullptr;
  const cImage* image = KvadraSystem->GetImage(id);
  return image ? image->GetSurface() : nullptr;
}

const cBMPSurface* TComparePage::PictureASurface() const
{
  return SurfaceOf(PictureA);
}

const cBMPSurface* TComparePage::PictureBSurface() const
{
  return KvadraSystem ? SurfaceOf(KvadraSystem->GetCurrentImageID()) : nullptr;
}

bool TComparePage::Comparable() const
{
  const cBMPSurface* a = PictureASurface();
  const cBMPSurface* b = PictureBSurface();
  return a && b && cPictureComparison::SameGeometry(*a, *b) && a->GetWidth() > 0 && a->GetHeight() > 0;
}

QString TComparePage::TitleOf(int id) const
{
  return SurfaceOf(id) ? QString::fromStdString(KvadraSystem->GetImage(id)->GetTitle()) : QString();
}

void TComparePage::FillHistoryBox()
{
  const int count = KvadraSystem ? KvadraSystem->SavedImageCount() : 0;
  if (PictureA >= count) PictureA = 0;
  QStringList titles;
  for (int id = 0; id < count; ++id) titles << TitleOf(id);
  QStringList shown;
  for (int i = 0; i < CompareWithBox->count(); ++i) shown << CompareWithBox->itemText(i);
  const QSignalBlocker block(CompareWithBox);
  if (shown != titles) {
    CompareWithBox->clear();
    CompareWithBox->addItems(titles);
  }
  CompareWithBox->setCurrentIndex(count > 0 ? PictureA : -1);
  CompareWithBox->setEnabled(count > 0);
}

void TComparePage::Refresh()
{
  FillHistoryBox();
  Dirty = true;
  if (isVisible()) UpdateView();
}

void TComparePage::showEvent(QShowEvent* event)
{
  QWidget::showEvent(event);
  if (Dirty) UpdateView();
}

void TComparePage::SetPictureA(int id)
{
  PictureA = id;
  Refresh();
}

void TComparePage::SetMode(eMode mode)
{
  ModeBox->setCurrentIndex(int(mode));
}

TComparePage::eMode TComparePage::GetMode() const
{
  return eMode(ModeBox->currentIndex());
}

void TComparePage::ModeChanged()
{
  const eMode mode = GetMode();
  for (QWidget* option :
       {static_cast<QWidget*>(GainEdit), static_cast<QWidget*>(SignedBox), static_cast<QWidget*>(GreyBox)})
    option->setVisible(mode == cmDifference);
  for (QLabel* label : GainEdit->parentWidget()->findChildren<QLabel*>())
    if (label->buddy() == GainEdit) label->setVisible(mode == cmDifference);
  ErrorMapBox->setVisible(mode == cmQualityMap);
  ShowingA = false;
  UpdateView();
  if (mode == cmFlicker) ViewerB->setFocus();
}

void TComparePage::UpdateView()
{
  Dirty = false;
  const eMode mode = GetMode();
  const bool hasImage = PictureBSurface() != nullptr;
  if (hasImage && !Comparable()) {
    StopMap();
    MessageLabel->setText("These pictures cannot be compared: A is " +
                          QString::fromStdString(cPictureComparison::GeometryText(*PictureASurface())) + ", B is " +
                          QString::fromStdString(cPictureComparison::GeometryText(*PictureBSurface())) +
                          ". Choose a picture of the same size and channels to compare with.");
    MessageLabel->show();
    ViewerArea->hide();
    SaveViewButton->setEnabled(false);
    return;
  }
  MessageLabel->hide();
  ViewerArea->show();
  const int width = hasImage ? PictureBSurface()->GetWidth() : 0;
  const int height = hasImage ? PictureBSurface()->GetHeight() : 0;
  for (TPlaneViewer* viewer : {ViewerA, ViewerB})
    if (viewer->GetPlaneWidth() != width || viewer->GetPlaneHeight() != height || viewer->IsPlaneSet() != hasImage)
      viewer->SetPlaneSize(width, height);
  ViewerA->parentWidget()->setVisible(mode == cmSideBySide);
  ColourBar->setVisible(mode == cmQualityMap && hasImage);

  DifferenceValid = false;
  if (hasImage && mode == cmDifference) {
    DifferenceShown = sDifferenceOptions{GainEdit->value(), SignedBox->isChecked(), GreyBox->isChecked()};
    cPictureComparison::Difference(*PictureASurface(), *PictureBSurface(), DifferenceShown, DifferencePicture);
    DifferenceValid = true;
  }
  if (hasImage && mode == cmQualityMap)
    StartMap();
  else if (!hasImage)
    StopMap();
  SaveViewButton->setEnabled(hasImage && (mode != cmQualityMap || MapReady));
  UpdateTitles();
  ViewerA->Repaint();
  ViewerB->Repaint();
}

void TComparePage::UpdateTitles()
{
  const bool hasImage = PictureBSurface() != nullptr;
  const QString a = "A: " + TitleOf(PictureA);
  const QString b = hasImage ? "B: " + TitleOf(KvadraSystem->GetCurrentImageID()) : QString();
  TitleA->setText(a);
  const QString map = ErrorMapBox->isChecked() ? "Squared-error map" : "SSIM map";
  switch (GetMode()) {
    case cmSideBySide: TitleB->setText(b); break;
    case cmDifference:
      TitleB->setText(QString(SignedBox->isChecked() ? "B − A around mid-grey" : "|B − A|") + " × " +
                      QString::number(GainEdit->value()));
      break;
    case cmFlicker:
      TitleB->setText(hasImage
                          ? QString("Showing ") + (ShowingA ? a : b) + "   (Space: show " + (ShowingA ? "B" : "A") + ")"
                          : QString());
      break;
    case cmQualityMap:
      TitleB->setText(!hasImage  ? QString()
                      : MapReady ? map + " of B against A: mean " +
                                       QString::number(Map.Mean, 'f', ErrorMapBox->isChecked() ? 2 : 4)
                                 : "Computing the " + map + "...");
      break;
  }
  ViewerB->setAccessibleDescription(TitleB->text());
}

void TComparePage::DrawB(QPainter& canvas, const sViewerInfo& info)
{
  if (!Comparable()) return;
  switch (GetMode()) {
    case cmSideBySide: DrawSurfaceInViewer(PictureBSurface(), canvas, info); break;
    case cmDifference:
      if (DifferenceValid) DrawSurfaceInViewer(&DifferencePicture, canvas, info);
      break;
    case cmFlicker: DrawSurfaceInViewer(ShowingA ? PictureASurface() : PictureBSurface(), canvas, info); break;
    case cmQualityMap:
      if (MapReady) DrawSurfaceInViewer(&MapPicture, canvas, info);
      break;
  }
}

void TComparePage::StartMap()
{
  const cBMPSurface* a = PictureASurface();
  const cBMPSurface* b = PictureBSurface();
  const sQualitySettings settings = sQualitySettings::FromGlobals();
  const bool errorMap = ErrorMapBox->isChecked();
  // Nothing changed since the last map (made or being made): keep it.
  if (MapJob && MapJob->ErrorMap == errorMap && SameSettings(MapJob->Settings, settings) &&
      SameContent(MapJob->A, *a) && SameContent(MapJob->B, *b))
    return;
  StopMap();
  MapReady = false;
  auto job = std::make_shared<sMapJob>();
  job->A.MakeCopyFrom(*a);
  job->B.MakeCopyFrom(*b);
  job->Settings = settings;
  job->ErrorMap = errorMap;
  job->Generation = ++MapGeneration;
  MapJob = job;
  MapThread = std::thread([this, job] {
    if (job->ErrorMap)
      cPictureComparison::SquaredErrorMap(job->A, job->B, job->Map);
    else if (!cPictureComparison::SSIMMap(job->A, job->B, job->Settings, job->Map, &job->Stop))
      return;
    if (job->Stop.load()) return;
    cPictureComparison::RenderMap(job->Map, job->Picture);
    // Delivered on the GUI thread; dropped with the page.
    QMetaObject::invokeMethod(
        this, [this, job] { MapDone(job); }, Qt::QueuedConnection);
  });
}

void TComparePage::StopMap()
{
  if (MapJob) MapJob->Stop.store(true);
  if (MapThread.joinable()) MapThread.join();
  if (MapJob && !MapJob->Done) MapJob.reset();
}

void TComparePage::MapDone(const std::shared_ptr<sMapJob>& job)
{
  if (job != MapJob || job->Generation != MapGeneration) return;
  if (MapThread.joinable()) MapThread.join();
  job->Done = true;
  Map = job->Map;
  MapPicture.MakeCopyFrom(job->Picture);
  MapReady = true;
  cBMPSurface bar;
  cPictureComparison::RenderColourBar(Map, BarHeight, bar);
  ColourBar->setPixmap(QPixmap::fromImage(SurfaceBlockToImage(bar, 0, 0, bar.GetWidth(), bar.GetHeight())));
  SaveViewButton->setEnabled(GetMode() == cmQualityMap);
  UpdateTitles();
  ViewerB->Repaint();
  emit MapFinished();
}

QString TComparePage::ReadOut(int x, int y) const
{
  if (!Comparable()) return QString();
  const cBMPSurface& a = *PictureASurface();
  const cBMPSurface& b = *PictureBSurface();
  if (x < 0 || y < 0 || x >= a.GetWidth() || y >= a.GetHeight()) return QString();
  return QString("%1, %2: A=%3, B=%4, B−A=%5")
      .arg(x)
      .arg(y)
      .arg(PixelText(a, x, y), PixelText(b, x, y), PixelText(b, x, y, &a));
}

bool TComparePage::RenderView(cBMPSurface& out) const
{
  if (!Comparable()) return false;
  switch (GetMode()) {
    case cmSideBySide: cPictureComparison::SideBySide(*PictureASurface(), *PictureBSurface(), out); return true;
    case cmDifference:
      if (!DifferenceValid) return false;
      out.MakeCopyFrom(DifferencePicture);
      return true;
    case cmFlicker: out.MakeCopyFrom(ShowingA ? *PictureASurface() : *PictureBSurface()); return true;
    case cmQualityMap:
      if (!MapReady) return false;
      cPictureComparison::RenderMapWithBar(Map, out);
      return true;
  }
  return false;
}

void TComparePage::SaveView()
{
  cBMPSurface view;
  if (!RenderView(view)) return;
  QString file =
      AskFileName ? AskFileName() : QFileDialog::getSaveFileName(this, "Save view", "view.png", "PNG (*.png)");
  if (file.isEmpty()) return;
  if (!file.endsWith(".png", Qt::CaseInsensitive)) file += ".png";
  if (cPngFile::Save(view, QFile::encodeName(file).toStdString())) return;
  const QString text = "Could not write '" + file + "'.";
  if (ShowError)
    ShowError(text);
  else
    QMessageBox::warning(this, "Save view", text);
}

void TComparePage::FlickerKey(bool pressed)
{
  if (GetMode() != cmFlicker) return;
  if (pressed) {
    ShowingA = !ShowingA;
    SpaceHeld->start();
  } else if (SpaceHeld->isValid() && SpaceHeld->elapsed() >= HoldMs) {
    ShowingA = !ShowingA;
    SpaceHeld->invalidate();
  }
  UpdateTitles();
  ViewerB->Repaint();
}

bool TComparePage::eventFilter(QObject* watched, QEvent* event)
{
  if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) && GetMode() == cmFlicker) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Space) {
      if (!key->isAutoRepeat()) FlickerKey(event->type() == QEvent::KeyPress);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}
