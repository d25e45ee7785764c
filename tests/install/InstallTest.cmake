# cmake -DBUILD_DIR=... -DPREFIX=... -DWITH_APP=ON|OFF [-DPYTHON=interpreter] -P InstallTest.cmake
# Installs the build into PREFIX and runs the installed programs, which must find their
# packages, data file and samples there, not in the build folder.
cmake_minimum_required(VERSION 3.25)

function(fail)
  string(JOIN "" text ${ARGN})
  message(FATAL_ERROR "${text}")
endfunction()

# run(<output var> <working folder> <command>...): the command must succeed.
function(run out folder)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${folder}
    RESULT_VARIABLE code OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  if(NOT code EQUAL 0)
    fail("'${ARGN}' failed (${code}):\n${output}\n${errors}")
  endif()
  set(${out} "${output}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${PREFIX})
run(ignored ${BUILD_DIR} ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX})

set(expected bin/kvadra lib/libkvKernel.so lib/libalgorithms.so lib/kvadra/plug-ins/999pkMisc.so
  share/kvadra/math.dat share/kvadra/samples/camera.bmp)
if(WITH_APP)
  list(APPEND expected bin/Kvadra2 share/kvadra/splash.bmp share/kvadra/mask.bmp
    share/applications/kvadra.desktop share/icons/hicolor/scalable/apps/kvadra.svg)
endif()
foreach(file ${expected})
  if(NOT EXISTS ${PREFIX}/${file})
    fail("${file} was not installed")
  endif()
endforeach()

# Installed run paths point inside the prefix only: a leftover build path would hide a broken install.
foreach(pair "bin/kvadra=$ORIGIN/../lib" "lib/libkvKernel.so=$ORIGIN" "lib/kvadra/plug-ins/999pkMisc.so=$ORIGIN/../..")
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 file)
  list(GET pair 1 want)
  file(READ_ELF ${PREFIX}/${file} RUNPATH runpath RPATH rpath)
  if(NOT "${runpath}${rpath}" STREQUAL want)
    fail("${file} has the run path '${runpath}${rpath}', not '${want}'")
  endif()
endforeach()

set(work ${PREFIX}/work)
file(MAKE_DIRECTORY ${work})
run(listing ${work} ${PREFIX}/bin/kvadra list)
string(REGEX MATCHALL "(^|\n)[0-9]+\t" operations "${listing}")
list(LENGTH operations count)
if(NOT count EQUAL 49)
  fail("kvadra list from the prefix shows ${count} operations, not 49:\n${listing}")
endif()

# The demo needs the sample picture and, for the Tamsel filter, math.dat.
run(demo ${work} ${PREFIX}/bin/kvadra demo --seed 5 --out-dir demo)
foreach(file 00-origin.bmp 01-noisy.bmp 02-median.bmp 03-road.bmp 04-tamsel.bmp history.csv)
  if(NOT EXISTS ${work}/demo/${file})
    fail("kvadra demo from the prefix did not write ${file}:\n${demo}")
  endif()
endforeach()
if(demo MATCHES "Terminated")
  fail("a demo filter stopped in the installed program:\n${demo}")
endif()

if(WITH_APP)
  run(version ${work} ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${PREFIX}/bin/Kvadra2 --version)
  if(NOT version MATCHES "^Kvadra2 [0-9]")
    fail("Kvadra2 --version from the prefix printed '${version}'")
  endif()
endif()
# The Python module from the prefix: its run path, and the packages and math.dat of the prefix.
if(PYTHON)
  file(GLOB module ${PREFIX}/lib/python3*/*-packages/kvadra.*.so)
  if(NOT module)
    fail("the Python module was not installed under ${PREFIX}/lib/python3*")
  endif()
  file(READ_ELF ${module} RUNPATH runpath RPATH rpath)
  if(NOT "${runpath}${rpath}" STREQUAL "$ORIGIN/../..")
    fail("${module} has the run path '${runpath}${rpath}', not '$ORIGIN/../..'")
  endif()
  get_filename_component(folder ${module} DIRECTORY)
  run(answer ${work} ${CMAKE_COMMAND} -E env PYTHONPATH=${folder} ${PYTHON} -c
    "import kvadra\np = kvadra.load('${PREFIX}/share/kvadra/samples/camera.bmp')\n\
print(len(kvadra.operations()), kvadra.__file__, kvadra.apply(p, 'Tamsel Filter').shape)")
  if(NOT answer STREQUAL "49 ${module} (512, 512)\n")
    fail("the installed Python module answered '${answer}'")
  endif()
endif()
file(REMOVE_RECURSE ${PREFIX})
