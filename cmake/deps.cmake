# Imported targets for the dependencies that scripts/deps cross-builds into VANTORIN_DEPS.
if(NOT VANTORIN_DEPS OR NOT EXISTS "${VANTORIN_DEPS}/.complete")
  message(FATAL_ERROR "VANTORIN_DEPS must name a finished prefix of scripts/deps (got '${VANTORIN_DEPS}')")
endif()

set(_triple_root /usr/${CMAKE_SYSTEM_PROCESSOR})

function(vantorin_import name lib)
  add_library(${name} STATIC IMPORTED GLOBAL)
  set_target_properties(${name} PROPERTIES
    IMPORTED_LOCATION "${lib}"
    INTERFACE_INCLUDE_DIRECTORIES "${VANTORIN_DEPS}/include")
endfunction()

# libz.dll.a sits beside libz.a and -lz would pick the DLL: name the archive itself.
add_library(Vantorin::zlib STATIC IMPORTED GLOBAL)
set_target_properties(Vantorin::zlib PROPERTIES
  IMPORTED_LOCATION "${_triple_root}/lib/libz.a"
  INTERFACE_INCLUDE_DIRECTORIES "${_triple_root}/include")

vantorin_import(Vantorin::curl "${VANTORIN_DEPS}/lib/libcurl.a")
set_property(TARGET Vantorin::curl APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS CURL_STATICLIB)
set_property(TARGET Vantorin::curl APPEND PROPERTY INTERFACE_LINK_LIBRARIES
  Vantorin::zlib ws2_32 crypt32 secur32 bcrypt wldap32 normaliz advapi32)

vantorin_import(Vantorin::jsoncpp "${VANTORIN_DEPS}/lib/libjsoncpp.a")

vantorin_import(Vantorin::minizip "${VANTORIN_DEPS}/lib/libminizip.a")
set_property(TARGET Vantorin::minizip APPEND PROPERTY INTERFACE_INCLUDE_DIRECTORIES "${VANTORIN_DEPS}/include/minizip")
set_property(TARGET Vantorin::minizip APPEND PROPERTY INTERFACE_LINK_LIBRARIES Vantorin::zlib)

vantorin_import(Vantorin::speexdsp "${VANTORIN_DEPS}/lib/libspeexdsp.a")

add_library(Vantorin::stb_image INTERFACE IMPORTED GLOBAL)
set_target_properties(Vantorin::stb_image PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${VANTORIN_DEPS}/include")

vantorin_import(Vantorin::gtest "${VANTORIN_DEPS}/lib/libgtest.a")
vantorin_import(Vantorin::gtest_main "${VANTORIN_DEPS}/lib/libgtest_main.a")
set_property(TARGET Vantorin::gtest_main APPEND PROPERTY INTERFACE_LINK_LIBRARIES Vantorin::gtest)
vantorin_import(Vantorin::gmock "${VANTORIN_DEPS}/lib/libgmock.a")
set_property(TARGET Vantorin::gmock APPEND PROPERTY INTERFACE_LINK_LIBRARIES Vantorin::gtest)

# Run-time companions of the program: the real converter and the media-information library.
set(VANTORIN_FFMPEG_EXE "${VANTORIN_DEPS}/bin/ffmpeg.exe")
set(VANTORIN_MEDIAINFO_DLL "${VANTORIN_DEPS}/bin/MediaInfo.dll")
file(COPY "${VANTORIN_FFMPEG_EXE}" "${VANTORIN_MEDIAINFO_DLL}" DESTINATION "${CMAKE_BINARY_DIR}/bin")
