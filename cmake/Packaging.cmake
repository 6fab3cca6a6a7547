# What an installation holds besides the programs and the library (their own folders install
# those), and the Debian package made with "cpack -G DEB".
include(GNUInstallDirs)

set(packagingDir ${PROJECT_SOURCE_DIR}/packaging)

# Man pages are installed compressed, as Debian's man expects them.
set(manPages)
foreach(page torvex-run.1 torvex-record.1)
    set(compressed ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${compressed}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
        COMMAND gzip -9 -n -c ${packagingDir}/${page} > ${compressed}
        DEPENDS ${packagingDir}/${page}
        COMMENT "Compressing the man page ${page}")
    list(APPEND manPages ${compressed})
endforeach()
add_custom_target(torvex_man_pages ALL DEPENDS ${manPages})
install(FILES ${manPages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The desktop's menu entry, the file types it opens and the icon.
if(TARGET Torvex)
    install(FILES ${packagingDir}/torvex.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${packagingDir}/torvex-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME torvex.xml)
    install(FILES ${packagingDir}/torvex.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME torvex)
set(CPACK_PACKAGE_VENDOR Mekora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_HOMEPAGE_URL https://torvex.dev/)
set(CPACK_PACKAGE_CONTACT "Torvex developers <support@torvex.dev>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "load testing tool for web sites and web applications")
set(CPACK_PACKAGE_DESCRIPTION
    "Torvex records a browsing session into a scenario, edits its requests,
parameters and order, and runs it as a load test in which many virtual users
replay the requests in parallel over HTTP or HTTPS. It measures response times,
throughput, traffic and errors, writes a report for every run, keeps the
results of runs and batches, and draws graphs.

The package holds the desktop workbench (Torvex), the console runner
(torvex-run), which can also spread one run over an MPI job, the recording
proxy for any browser (torvex-record), and the load engine as a shared library
with its C header and pkg-config file (torvexcore).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries the programs link come from dpkg-shlibdeps; the engine's shlibs entry lets other
# packages depend on it the same way.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# What the programs load or start at run time, which dpkg-shlibdeps cannot see: the recording
# proxy checks sites against the system's authorities; the workbench needs Qt's platform and SVG
# plugins (icon themes); a distributed run is started by OpenMPI's launcher, and a lone --mpi
# process starts OpenMPI's daemon (orted) itself.
set(runtimeDepends ca-certificates)
if(TARGET Torvex)
    # (QtWebEngine's browser process, libqt6webenginecore6-bin, comes with its library's
    # dependencies.)
    list(APPEND runtimeDepends qt6-qpa-plugins libqt6svg6)
    # Opening the help page and the web site goes through the desktop's browser.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
endif()
get_target_property(runnerLinks torvex-run LINK_LIBRARIES)
if("MPI::MPI_C" IN_LIST runnerLinks)
    list(APPEND runtimeDepends openmpi-bin)
endif()
list(JOIN runtimeDepends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
include(CPack)
