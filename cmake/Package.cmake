# The Debian package, built by CPack's DEB generator (scripts/package.sh runs it). Depends is
# computed by dpkg-shlibdeps from both programs and the engine module.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ostrel)
set(CPACK_PACKAGE_VENDOR "Ostrel Software")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Ostrel Software <packages@ostrel-software.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "converter of audio and video files with 138 profiles")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.ostrel-software.com/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The libraries' symbols files name plain libavcodec59, which the extra-codecs build also
# provides; the 3GP profiles' AMR encoders are only in the latter.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libavcodec-extra59 (>= 7:5.1)")
# Opening folders and the user guide, the completion sound; native windows on Wayland
# (without it they go through XWayland).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, sound-theme-freedesktop")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-wayland")
# The summary above is put before this; CPack indents the lines and marks the empty one.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Ostrel Media Converter collects audio and video files in a list and converts
every one of them in one run with one of 138 output profiles: general audio
and video formats (MP3, AAC, FLAC, MP4, Matroska, WebM, AVI, MPEG-2 ...) and
profiles for phones, tablets, players, game consoles, HD and web video, VCD
and DVD. The size, quality, bitrates, frame rate, cropping and rotation can be
adjusted; the progress of every file is shown, and a preview player plays any
listed file. Outputs never replace an input or an existing file.

The package holds the window (ostrel) and a command-line converter
(ostrel-convert) with the same profiles and settings. Conversions run on the
FFmpeg libraries.")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
