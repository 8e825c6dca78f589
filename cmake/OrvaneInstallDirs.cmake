# Where an installed program and its files go (GNU layout under the prefix), and the relative
# paths by which the program finds them from its own folder, so that the whole tree can be
# installed under any prefix and still work.
include(GNUInstallDirs)

set(ORVANE_INSTALL_DATADIR "${CMAKE_INSTALL_DATADIR}/orvane-screen")
# The hook library is the program's own, not one for other programs to link: a private folder
# keeps it out of the linker's search path.
set(ORVANE_INSTALL_LIBDIR "${CMAKE_INSTALL_LIBDIR}/orvane-screen")

file(RELATIVE_PATH ORVANE_DATA_FROM_PROGRAM "${CMAKE_INSTALL_FULL_BINDIR}"
     "${CMAKE_INSTALL_PREFIX}/${ORVANE_INSTALL_DATADIR}")
file(RELATIVE_PATH ORVANE_LIB_FROM_PROGRAM "${CMAKE_INSTALL_FULL_BINDIR}"
     "${CMAKE_INSTALL_PREFIX}/${ORVANE_INSTALL_LIBDIR}")
