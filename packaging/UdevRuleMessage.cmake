# Run by 'cmake --install' (and cpack) after the udev rule is installed: says where the
# rule is and what makes udev apply it. BRIMEL_UDEV_RULES_DIR is the rule's install
# destination (relative: under CMAKE_INSTALL_PREFIX, which is this run's --prefix).
set(dir "${BRIMEL_UDEV_RULES_DIR}")
if(NOT IS_ABSOLUTE "${dir}")
    set(dir "${CMAKE_INSTALL_PREFIX}/${dir}")
endif()
cmake_path(NORMAL_PATH dir)
string(REGEX REPLACE "(.)/+$" "\\1" dir "${dir}")
set(rule "${dir}/70-brimel.rules")

set(where "udev rule installed: ${rule}")
if(NOT "$ENV{DESTDIR}" STREQUAL "")
    string(APPEND where " (under DESTDIR $ENV{DESTDIR})")
endif()
message(STATUS "${where}")
# The directories udev reads rules from; systemd's udev also reads /usr/local/lib/udev/rules.d.
if(dir MATCHES "^(/etc|/run|/usr/lib|/lib)/udev/rules\\.d$")
    message(STATUS "udev reads it there; to apply it now: sudo udevadm control --reload, then re-plug the Brimel.")
elseif(dir STREQUAL "/usr/local/lib/udev/rules.d")
    message(STATUS "systemd's udev reads it there (another udev may not: then copy it into /etc/udev/rules.d); "
                   "to apply it now: sudo udevadm control --reload, then re-plug the Brimel.")
else()
    message(STATUS "udev does not read rules from there. To let the user at the seat open the Brimel, "
                   "copy (or link) it into /etc/udev/rules.d, reload udev and re-plug the Brimel:")
    message(STATUS "  sudo cp ${rule} /etc/udev/rules.d/")
    message(STATUS "  sudo udevadm control --reload")
endif()
