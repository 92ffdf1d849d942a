# The Debian package: `cpack -G DEB` in a build folder packs what `cmake --install` installs under
# /usr. dpkg-shlibdeps works out the library dependencies from the programs; the fonts the text is
# drawn with are a dependency no library link shows.

set(CPACK_PACKAGE_NAME lumora)
set(CPACK_PACKAGE_VENDOR "The Lumora developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "picture browser and viewer for keypads and keyboards")
# The long description as Debian lays it out: lines under 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Lumora shows folders of pictures as thumbnails, a strip, a list or details,\n"
  "and opens pictures full screen to zoom, scroll, rotate, page and play animated\n"
  "GIFs, or as a slideshow. It reads Exif and IPTC properties, and resizes,\n"
  "adjusts, saves, copies, moves, renames, deletes and sends pictures. Every action\n"
  "is reached with the arrow keys, the action key, two soft keys and the Back key,\n"
  "for keypad and gamepad devices as well as desktops.\n"
  "\n"
  "It reads JPEG, PNG, GIF, TIFF, Targa, BMP, PCX, PNM, ICO, XBM and XPM pictures.\n"
  "The lumora-img command inspects, converts and thumbnails pictures in scripts\n"
  "with the same image library.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Lumora developers")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build/")
include(CPack)
