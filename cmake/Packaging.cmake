# The Debian package. `make package` runs cpack on the release preset's build
# and the package test on the build it runs in, both with this configuration.

set(SCB_HOMEPAGE "https://torvane.example/scoreboard" CACHE STRING
    "The project's web page, named by the package and the AppStream data")

# Under a group-writable umask the staging folders would be 0775, which
# Debian does not accept in a package.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# data/changelog is the one list of releases: the package's changelog, the
# AppStream release list (SCB_RELEASES, for data/), and the maintainer, the
# one who signed the latest entry. A new version in project() needs an entry.
function(scb_read_changelog changelog)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog})
    file(STRINGS ${changelog} heads REGEX "^torvane-scoreboard \\(")
    file(STRINGS ${changelog} trailers REGEX "^ -- ")
    set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    set(SCB_RELEASES "")
    foreach(head trailer IN ZIP_LISTS heads trailers)
        string(REGEX MATCH "\\(([^)]+)\\)" version "${head}")
        set(version "${CMAKE_MATCH_1}")
        if(version STREQUAL "" OR NOT trailer MATCHES "^ -- (.+>)  [A-Z][a-z][a-z], ([0-9]+) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) ([0-9]+) ")
            message(FATAL_ERROR "data/changelog: an entry is not in the Debian changelog format: '${head}' ... '${trailer}'")
        endif()
        if(NOT DEFINED latest)
            set(latest ${version})
            set(SCB_MAINTAINER "${CMAKE_MATCH_1}")
        endif()
        set(day ${CMAKE_MATCH_2})
        string(LENGTH "${day}" digits)
        if(digits EQUAL 1)
            set(day 0${day})
        endif()
        list(FIND months ${CMAKE_MATCH_3} month)
        math(EXPR month "${month} + 1")
        if(month LESS 10)
            set(month 0${month})
        endif()
        string(APPEND SCB_RELEASES "    <release version=\"${version}\" date=\"${CMAKE_MATCH_4}-${month}-${day}\"/>\n")
    endforeach()
    if(NOT latest STREQUAL PROJECT_VERSION)
        message(FATAL_ERROR "data/changelog's latest entry is ${latest} but project() says ${PROJECT_VERSION}: add an entry")
    endif()
    string(REGEX REPLACE "\n$" "" SCB_RELEASES "${SCB_RELEASES}")
    set(SCB_RELEASES "${SCB_RELEASES}" PARENT_SCOPE)
    set(SCB_MAINTAINER "${SCB_MAINTAINER}" PARENT_SCOPE)
endfunction()
scb_read_changelog(${PROJECT_SOURCE_DIR}/data/changelog)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME torvane-scoreboard)
set(CPACK_PACKAGE_VENDOR "Torvane")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "live results board for a sports venue")
set(CPACK_PACKAGE_DESCRIPTION [[
The competition program writes a short text file, Main.txt. Torvane
Scoreboard watches it and shows up to twelve of its lines in large type in a
borderless window on a second display, such as a projector or a video wall,
changing as soon as the file does.

A control window chooses the file, places and sizes the board, sets its
font, colours, background picture and border, and opens and closes it. The
board can also be served to browsers on the venue network (--serve).]])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SCB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${SCB_HOMEPAGE}")
# The libraries come from dpkg-shlibdeps; fonts are found by name at run time,
# so those are named here: "Arial" and "Courier New" resolve to Liberation,
# "Verdana" and "MS Sans Serif" to DejaVu.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, fonts-dejavu-core")
include(CPack)
