# The Debian package: `cpack -G DEB` in the build tree (scripts/package.sh does it) makes
# kalvora_<version>-<revision>_<arch>.deb from the install rules, installed under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kalvora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "The Kalvora developers <developers@kalvora.github.io>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/kalvora/kalvora)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tone auditioner for GS and General MIDI sound modules")
# The summary is the first line of the Description field; this is the text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Kalvora plays the tones of a GS-family or General MIDI sound module from one
window: pick a tone by program, bank and tone map, set velocity, chorus,
reverb, modulation and pan, and play single notes on the on-screen keyboard.
The buttons carry the module's own tone names. It plays through the ALSA
sequencer, another program's JACK MIDI input or its built-in synthesizer.")
# The libraries come from dpkg-shlibdeps (Qt's X11 platform plugin comes with its GUI library).
# What it cannot see: the font of the window's Japanese texts, without which they show as boxes.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic")
# The program starts and plays its other devices without them; with them it lists its
# built-in synthesizer.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fluid-soundfont-gm, fluid-soundfont-gs")
# No maintainer scripts: nothing of the package is on the dynamic linker's path.
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/without_maintainer_scripts.cmake)
include(CPack)
