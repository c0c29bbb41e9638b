# The Debian package of the suite: cpack -G DEB in the build folder makes
# voice-lumo_VERSION_ARCH.deb from the install rules, with the prefix /usr.
#
# No maintainer scripts: the menu, MIME and icon caches are refreshed by the
# file triggers of desktop-file-utils, shared-mime-info and the icon theme,
# which fire on the files this package puts under /usr/share.

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "voice-lumo")
set(CPACK_PACKAGE_VENDOR "voice lumo developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VEK_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "companion suite of a digital voice recorder (SC4 voice files)")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_NAME "voice-lumo")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VEK_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# The extended description; cpack puts the summary above it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"The recorder keeps speech in SC4 voice files in one of three modes: SP
(G.729 Annex A, 8 kbit/s), HQ and SHQ (4-bit ADPCM at 8000 and 11025 Hz).

The suite holds the voice lumo manager, which browses the recorder's drive
and converts SC4 files to WAV and back; the voice lumo player, which
records, edits, plays and mails voice messages and opens SC4 files from the
file manager; and vekconv, the command-line converter. It also builds
self-playing executables that play a recording on a Windows PC.")
# Libraries from the binaries; the desktop tools the programs call.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${VEK_INSTALL_PROGDIR})
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils")
# The file type is known by its content only through the shared MIME database.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/VekDebNoScripts.cmake)
include(CPack)
