# The signal scenario behind the emulated device's status and infoframe records.
target_sources(brimel_emulator PRIVATE ${CMAKE_CURRENT_LIST_DIR}/SignalScenario.cpp)
