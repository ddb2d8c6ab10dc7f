# Build-wide settings and the small helpers every folder's CMakeLists uses.

# The Windows build is built on the Win32 platform folder (engine/CMakeLists.txt
# names the default); tests that link modules one by one name its glue module.
if(WIN32)
  set(PABRIX_PLATFORM win32)
endif()

add_compile_options(-Wall -Wextra)

# pabrix_instrument(): the sanitizer options of a sanitizer build, for the
# folders added after the call (the engine, the program, the tests). Build-time
# tools are added before it: they only make files, and an instrumented
# generator would report the races of the uninstrumented libraries it calls.
macro(pabrix_instrument)
  if(PABRIX_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
  endif()
  if(PABRIX_TSAN)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
  endif()
endmacro()

# pabrix_module(NAME DIR [PLATFORM] [EXCLUDE file...] [DEPS module...] [LIBS lib...])
# One engine module: every .cpp directly in DIR becomes a static library named
# engine_NAME (EXCLUDE: a stem leaves out its .cpp and .h, a name with its
# extension that file only). DEPS names the engine modules whose headers it includes (exactly
# those: the layering test checks it and refuses a cycle among them); LIBS the
# outside libraries. A module links what it names, so a test names only the
# modules it exercises. PLATFORM marks code that may use a platform's headers
# (SDL, X11, GTK, cairo, windows.h); every other module is portable and the
# layering test fails when it includes one. The program links every module
# through pabrix_engine.
function(pabrix_module name dir)
  cmake_parse_arguments(M "PLATFORM" "" "EXCLUDE;DEPS;LIBS" ${ARGN})
  set(base ${CMAKE_CURRENT_SOURCE_DIR}/${dir})
  file(GLOB srcs CONFIGURE_DEPENDS ${base}/*.cpp)
  file(GLOB hdrs CONFIGURE_DEPENDS ${base}/*.h)
  foreach(ex ${M_EXCLUDE})
    if(ex MATCHES "\\.")
      list(REMOVE_ITEM srcs ${base}/${ex})
    else()
      list(REMOVE_ITEM srcs ${base}/${ex}.cpp)
      list(REMOVE_ITEM hdrs ${base}/${ex}.h)
    endif()
  endforeach()
  list(TRANSFORM M_DEPS PREPEND engine_)
  pabrix_layer(engine_${name} "${M_PLATFORM}" "${M_DEPS}" ${srcs} ${hdrs})
  set_property(GLOBAL PROPERTY PABRIX_LAYER_engine_${name} "${M_PLATFORM}|${M_DEPS}")
  if(srcs)
    add_library(engine_${name} STATIC ${srcs})
    target_include_directories(engine_${name} PUBLIC ${PROJECT_SOURCE_DIR}/engine ${PROJECT_SOURCE_DIR})
    target_link_libraries(engine_${name} PUBLIC ${M_DEPS} ${M_LIBS})
  else()
    add_library(engine_${name} INTERFACE)
    target_include_directories(engine_${name} INTERFACE ${PROJECT_SOURCE_DIR}/engine ${PROJECT_SOURCE_DIR})
    target_link_libraries(engine_${name} INTERFACE ${M_DEPS} ${M_LIBS})
  endif()
  set_property(GLOBAL APPEND PROPERTY PABRIX_ENGINE_MODULES engine_${name})
endfunction()

# pabrix_module_add(NAME DIR FILE... [LIBS lib...])
# A platform's part of a module the one list declares: FILEs of DIR (names with
# their extension) join engine_NAME, under the module's layering rules.
function(pabrix_module_add name dir)
  cmake_parse_arguments(M "" "" "LIBS" ${ARGN})
  list(TRANSFORM M_UNPARSED_ARGUMENTS PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/)
  get_property(layer GLOBAL PROPERTY PABRIX_LAYER_engine_${name})
  string(REPLACE "|" ";" layer "${layer}")
  list(GET layer 0 platform)
  list(SUBLIST layer 1 -1 deps)
  pabrix_layer(engine_${name} "${platform}" "${deps}" ${M_UNPARSED_ARGUMENTS})
  target_sources(engine_${name} PRIVATE ${M_UNPARSED_ARGUMENTS})
  target_link_libraries(engine_${name} PUBLIC ${M_LIBS})
endfunction()

# pabrix_layer(TARGET PLATFORM DEPS files...)
# Records one layer of the program for the layering test: its files, whether it
# is platform code, and the targets (full names) it may include from.
function(pabrix_layer target platform deps)
  set(kind portable)
  if(platform)
    set(kind platform)
  endif()
  string(REPLACE ";" "," deps_text "${deps}")
  set(text "")
  foreach(f ${ARGN})
    file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${f})
    string(APPEND text "${target} ${kind} ${rel} ${deps_text}\n")
  endforeach()
  file(APPEND ${PABRIX_LAYERS_FILE} "${text}")
endfunction()

# pabrix_test(NAME SOURCES... [LIBS ...] [ENV ...] [DISPLAY] [WRAPPED pattern])
# A GoogleTest executable registered with CTest, run in a fresh home of its own
# (tests/support/TestHome.h). Tests run headless (dummy video
# and audio) unless DISPLAY is given, in which case they use the X display the
# test run provides (make test starts Xvfb around the whole suite). Label:
# "screen" for those, "unit" for the rest ("wine" in the Windows build).
# WRAPPED names (a --gtest_filter pattern) the tests only a wrapper script runs,
# in the set-up they need: they are not registered on their own.
function(pabrix_test name)
  cmake_parse_arguments(T "DISPLAY" "TIMEOUT;WRAPPED" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} pabrix_test_home GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/engine ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  set(env "PABRIX_SOURCE_DIR=${PROJECT_SOURCE_DIR}" "PABRIX_BINARY_DIR=${CMAKE_BINARY_DIR}" ${T_ENV})
  if(PABRIX_TSAN)
    list(APPEND env "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp")
  endif()
  if(NOT T_DISPLAY)
    list(APPEND env "SDL_VIDEODRIVER=dummy" "SDL_AUDIODRIVER=dummy")
  endif()
  # Bounds for a hang, not for speed: a loaded machine runs a test many times
  # slower than a quiet one (a Wine test of 5 s then takes over a minute).
  if(NOT T_TIMEOUT AND CMAKE_CROSSCOMPILING)
    set(T_TIMEOUT 300)  # a hung Wine program is found in five minutes, not ten
  elseif(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  # The environment is set by running each test through env(1): gtest_discover_tests
  # flattens its PROPERTIES list, so an ENVIRONMENT list would keep only its
  # first variable. The executor also applies to test discovery.
  if(CMAKE_CROSSCOMPILING)
    # Windows programs run under Wine (scripts/wine-ctest.sh sets up its prefix
    # and display), and are listed when the run starts, inside that prefix.
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "/usr/bin/env;${env};${PABRIX_WINE}")
    set(discovery DISCOVERY_MODE PRE_TEST)
  else()
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "/usr/bin/env;${env}")
    set(discovery "")
  endif()
  # Windows on the one shared X display would take the keyboard focus from each
  # other (and a window in the background pauses its frame loop), so tests that
  # open windows there run one at a time.
  set(lock "")
  set(label unit)
  if(T_DISPLAY)
    set(lock RESOURCE_LOCK x11_display)
    set(label screen)
  endif()
  pabrix_labels(label ${label})
  set(filter "")
  if(T_WRAPPED)
    set(filter TEST_FILTER "-${T_WRAPPED}")
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin
    DISCOVERY_TIMEOUT 300 ${discovery} ${filter}
    PROPERTIES TIMEOUT ${T_TIMEOUT} ${lock} LABELS ${label})
endfunction()

# pabrix_labels(VAR LABEL): VAR = the test label, for `ctest -L unit` and the
# like; in the Windows build every test is "wine" (they all run under Wine). One
# label a test: gtest_discover_tests would flatten a list of them.
function(pabrix_labels var label)
  if(CMAKE_CROSSCOMPILING)
    set(label wine)
  endif()
  set(${var} ${label} PARENT_SCOPE)
endfunction()

# pabrix_test_labels(LABEL TEST...): tests added with add_test get their label.
function(pabrix_test_labels label)
  pabrix_labels(label ${label})
  set_tests_properties(${ARGN} PROPERTIES LABELS ${label})
endfunction()

# pabrix_asset_seeds(VAR REGEX SELECTOR...): appends to VAR, as SEEDS items for
# pabrix_fuzz_target, "SELECTOR:file" for every generated asset whose path
# matches REGEX, once per selector.
function(pabrix_asset_seeds var regex)
  get_property(assets GLOBAL PROPERTY PABRIX_ASSET_FILES)
  set(items ${${var}})
  foreach(f ${assets})
    if(f MATCHES "${regex}")
      foreach(selector ${ARGN})
        list(APPEND items ${selector}:${f})
      endforeach()
    endif()
  endforeach()
  set(${var} ${items} PARENT_SCOPE)
endfunction()

# pabrix_fuzz_target(NAME SOURCES... [LIBS ...] [INSTRUMENT lib...] [CORPUS dir...]
#                    [MAX_LEN n] [SEEDS item...])
# A fuzz target. With clang it is a libFuzzer binary; with another compiler it is
# linked with a small driver that replays the corpus and random inputs. Either
# way CTest runs it briefly as a smoke test; `make fuzz` runs them for longer.
# INSTRUMENT names the product libraries under test: the target links their
# instrumented copies (pabrix_fuzz_copy), so the fuzzer sees their branches and
# the sanitizers check them; LIBS are linked as they are.
# SEEDS are written by tools/fuzzseeds (whole files the build generates) into
# fuzz-seeds/NAME; fuzz-args/NAME then holds the -max_len that fits the largest
# seed (at least MAX_LEN) and fuzz-args/NAME.dirs the seed folders, for `make fuzz`.
function(pabrix_fuzz_target name)
  cmake_parse_arguments(F "" "MAX_LEN" "SOURCES;LIBS;INSTRUMENT;CORPUS;SEEDS" ${ARGN})
  if(NOT F_MAX_LEN)
    set(F_MAX_LEN 4096)
  endif()
  add_executable(${name} ${F_SOURCES} ${F_UNPARSED_ARGUMENTS})
  # Without clang there is nothing to instrument: the libraries themselves.
  set(copies ${F_INSTRUMENT})
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    list(TRANSFORM copies APPEND _fuzz)
    foreach(lib ${F_INSTRUMENT})
      pabrix_fuzz_copy(${lib})
    endforeach()
  endif()
  # The copies come first: what they hold is never taken from the originals.
  target_link_libraries(${name} PRIVATE ${copies} ${F_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/engine ${PROJECT_SOURCE_DIR})
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer ${PABRIX_FUZZ_CHECKS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    # A unit's timeout catches a hang, not slowness: one input takes
    # milliseconds, but seconds on a loaded machine.
    set(smoke_args -max_total_time=1 -rss_limit_mb=2048 -timeout=60)
  else()
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz/standalone_driver.cpp)
    set(smoke_args -max_total_time=1)
  endif()
  set(corpus_dir ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
  set(seed_dir ${CMAKE_BINARY_DIR}/fuzz-seeds/${name})
  set(args_file ${CMAKE_BINARY_DIR}/fuzz-args/${name})
  file(MAKE_DIRECTORY ${corpus_dir} ${seed_dir} ${CMAKE_BINARY_DIR}/fuzz-args)
  set(seed_args ${F_CORPUS} ${seed_dir})
  string(REPLACE ";" " " dirs "${seed_args}")
  file(WRITE ${args_file}.dirs "${dirs}\n")
  set(seed_files "")
  foreach(item ${F_SEEDS})
    if(item MATCHES "^[^:]+:(.+)$")
      list(APPEND seed_files ${CMAKE_MATCH_1})
    endif()
  endforeach()
  add_custom_command(OUTPUT ${args_file}
    COMMAND $<TARGET_FILE:fuzzseeds> ${seed_dir} ${args_file} ${F_MAX_LEN} ${F_SEEDS}
    DEPENDS fuzzseeds ${seed_files}
    COMMENT "Seeding ${name}"
    VERBATIM)
  add_custom_target(${name}_seeds DEPENDS ${args_file})
  if(seed_files AND TARGET assets)
    add_dependencies(${name}_seeds assets)
  endif()
  add_dependencies(${name} ${name}_seeds)
  add_test(NAME fuzz_smoke.${name}
           COMMAND ${name} ${smoke_args} -max_len=${F_MAX_LEN} ${corpus_dir} ${seed_args}
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(fuzz_smoke.${name} PROPERTIES TIMEOUT 300 LABELS fuzz-smoke
    ENVIRONMENT "SDL_VIDEODRIVER=dummy;SDL_AUDIODRIVER=dummy;ASAN_OPTIONS=detect_leaks=0")
  set_property(GLOBAL APPEND PROPERTY PABRIX_FUZZ_TARGETS ${name})
endfunction()

# The sanitizers of fuzzing builds. The first report ends the run: a fuzz run that
# goes on past one would pass with it.
set(PABRIX_FUZZ_CHECKS -fsanitize=address,undefined -fno-sanitize-recover=all)

# pabrix_fuzz_copy(LIB): LIB_fuzz, the product library LIB compiled once more for
# the fuzz targets (coverage and sanitizers, clang only), with LIB's sources,
# include folders and libraries. Made once, shared by every target.
function(pabrix_fuzz_copy lib)
  if(TARGET ${lib}_fuzz)
    return()
  endif()
  get_target_property(srcs ${lib} SOURCES)
  get_target_property(dir ${lib} SOURCE_DIR)
  list(TRANSFORM srcs PREPEND ${dir}/ REGEX "^[^/]")
  add_library(${lib}_fuzz STATIC EXCLUDE_FROM_ALL ${srcs})
  foreach(prop INCLUDE_DIRECTORIES COMPILE_DEFINITIONS COMPILE_OPTIONS LINK_LIBRARIES
               INTERFACE_INCLUDE_DIRECTORIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES
               INTERFACE_COMPILE_DEFINITIONS INTERFACE_LINK_LIBRARIES)
    get_target_property(value ${lib} ${prop})
    if(value)
      set_property(TARGET ${lib}_fuzz PROPERTY ${prop} ${value})
    endif()
  endforeach()
  target_compile_options(${lib}_fuzz PRIVATE -fsanitize=fuzzer-no-link ${PABRIX_FUZZ_CHECKS})
  # A library's own exceptions to the checks (PABRIX_FUZZ_OPTIONS) come after them.
  get_target_property(own ${lib} PABRIX_FUZZ_OPTIONS)
  if(own)
    target_compile_options(${lib}_fuzz PRIVATE ${own})
  endif()
endfunction()
