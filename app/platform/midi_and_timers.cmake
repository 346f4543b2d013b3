# The timer service and the MIDI output backends of the player.
pkg_check_modules(RTMIDI REQUIRED IMPORTED_TARGET rtmidi)

target_sources(korvane_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/midi_output.cpp
    ${CMAKE_CURRENT_LIST_DIR}/recording_midi_output.cpp
    ${CMAKE_CURRENT_LIST_DIR}/rtmidi_output.cpp
    ${CMAKE_CURRENT_LIST_DIR}/timer_service.cpp
    ${CMAKE_CURRENT_LIST_DIR}/virtual_timer_service.cpp
)
# RtMidi stays an implementation detail: only rtmidi_output.cpp sees its header.
target_link_libraries(korvane_platform PRIVATE PkgConfig::RTMIDI)
