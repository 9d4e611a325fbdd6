# The release package of this build folder's target: "release_zip" writes
# dist/Vantorin-VERSION-win32.zip (win64 for the x86_64 target) and its
# -symbols.zip. scripts/release builds it; the tests in tests/release read it.

# The program's own version, from the constant it reports itself.
file(STRINGS ${PROJECT_SOURCE_DIR}/recognition/CData.h _version_line REGEX "kAppVersionText\\[\\] = \"v[0-9.]+\"")
string(REGEX REPLACE ".*\"v([0-9.]+)\".*" "\\1" VANTORIN_VERSION "${_version_line}")
if(NOT VANTORIN_VERSION MATCHES "^[0-9]+(\\.[0-9]+)+$")
  message(FATAL_ERROR "cannot read the program's version from recognition/CData.h")
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(VANTORIN_PLATFORM win64)
else()
  set(VANTORIN_PLATFORM win32)
endif()
set(VANTORIN_DIST ${PROJECT_SOURCE_DIR}/dist)
set(VANTORIN_RELEASE_ZIP ${VANTORIN_DIST}/Vantorin-${VANTORIN_VERSION}-${VANTORIN_PLATFORM}.zip)
set(VANTORIN_SYMBOLS_ZIP ${VANTORIN_DIST}/Vantorin-${VANTORIN_VERSION}-${VANTORIN_PLATFORM}-symbols.zip)

# What a user runs: the program, its tools and the libraries it loads. The
# stand-ins that serve tests only (the tone-speech SDK, the updater recorder,
# the local servers) and the test programs stay out.
set(VANTORIN_RELEASE_TARGETS Vantorin vantorinaudio vantoringain userhttplib)
set(VANTORIN_RELEASE_FILES ${VANTORIN_FFMPEG_EXE} ${VANTORIN_MEDIAINFO_DLL})

function(vantorin_add_release_zip)
  set(binaries "")
  foreach(target ${VANTORIN_RELEASE_TARGETS})
    list(APPEND binaries $<TARGET_FILE:${target}>)
  endforeach()
  add_custom_target(release_zip
    COMMAND python3 ${PROJECT_SOURCE_DIR}/scripts/pack-release
            --version ${VANTORIN_VERSION} --platform ${VANTORIN_PLATFORM}
            --objcopy ${VANTORIN_TRIPLE}-objcopy --readme ${PROJECT_SOURCE_DIR}/scripts/release-readme.txt
            --licences ${VANTORIN_DEPS}/licences --dist ${VANTORIN_DIST}
            --strip ${binaries} --copy ${VANTORIN_RELEASE_FILES}
            --runtime-package mingw-w64-common gcc-mingw-w64-base
    COMMENT "Packing the release zip"
    VERBATIM)
  add_dependencies(release_zip ${VANTORIN_RELEASE_TARGETS})
endfunction()
