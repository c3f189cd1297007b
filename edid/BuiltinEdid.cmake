# Adds the generated built-in EDID tables (tools/edidgen/edidgen.py) to the domain library.
target_sources(brimel_domain PRIVATE ${CMAKE_CURRENT_LIST_DIR}/BuiltinEdids.cpp)
