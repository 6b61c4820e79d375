# JUCE's modules, compiled once into static libraries that every target shares.
#
# JUCE's own module targets are INTERFACE libraries that carry the module sources, so
# every consumer would compile them again. Here each module's unity file is compiled
# exactly once, into one of three libraries:
#   quorvel_juce_core   juce_core, juce_audio_basics           (what the protocol needs)
#   quorvel_juce_gui    juce_events .. juce_gui_basics          (the application and tests)
#   quorvel_midi_alsa   juce_audio_devices with the ALSA backend (the product binary only)
#
# Every JUCE_* definition is PUBLIC so that all translation units agree on them.

find_package (JUCE 7.0.5 EXACT CONFIG REQUIRED)
find_package (PkgConfig REQUIRED)

pkg_check_modules (QUORVEL_FREETYPE REQUIRED IMPORTED_TARGET freetype2)
pkg_check_modules (QUORVEL_IMAGE_LIBS REQUIRED IMPORTED_TARGET libpng libjpeg)
pkg_check_modules (QUORVEL_ALSA REQUIRED IMPORTED_TARGET alsa)

set (QUORVEL_JUCE_MODULES juce_core juce_audio_basics juce_events juce_data_structures
                          juce_graphics juce_gui_basics juce_audio_devices)

function (quorvel_juce_library name)
    cmake_parse_arguments (ARG "" "" "MODULES;LINK" ${ARGN})
    add_library (${name} STATIC)

    foreach (module IN LISTS ARG_MODULES)
        target_sources (${name} PRIVATE "${JUCE_MODULES_DIR}/${module}/${module}.cpp")
    endforeach()

    target_compile_features (${name} PUBLIC cxx_std_17)
    target_include_directories (${name} SYSTEM PUBLIC "${JUCE_MODULES_DIR}")

    set (availability "")
    foreach (module IN LISTS QUORVEL_JUCE_MODULES)
        list (APPEND availability JUCE_MODULE_AVAILABLE_${module}=1)
    endforeach()

    target_compile_definitions (${name} PUBLIC
        ${availability}
        JUCE_GLOBAL_MODULE_SETTINGS_INCLUDED=1
        JUCE_STANDALONE_APPLICATION=1
        JUCE_DISPLAY_SPLASH_SCREEN=0
        JUCE_WEB_BROWSER=0
        JUCE_USE_CURL=0
        JUCE_MODAL_LOOPS_PERMITTED=1
        LINUX=1
        $<IF:$<CONFIG:Debug>,DEBUG=1;_DEBUG=1;JUCE_LOG_ASSERTIONS=1,NDEBUG=1;_NDEBUG=1>)

    # JUCE's own sources are not ours to keep warning-free.
    target_compile_options (${name} PRIVATE -w)
    target_link_libraries (${name} PUBLIC ${ARG_LINK})
    set_target_properties (${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
endfunction()

quorvel_juce_library (quorvel_juce_core
    MODULES juce_core juce_audio_basics
    LINK z rt dl pthread)

quorvel_juce_library (quorvel_juce_gui
    MODULES juce_events juce_data_structures juce_graphics juce_gui_basics
    LINK quorvel_juce_core PkgConfig::QUORVEL_FREETYPE PkgConfig::QUORVEL_IMAGE_LIBS)

# The real MIDI backend. An executable links exactly one backend: this one or quorvel_sim.
quorvel_juce_library (quorvel_midi_alsa
    MODULES juce_audio_devices
    LINK quorvel_juce_gui PkgConfig::QUORVEL_ALSA)

# Linking both backends into one binary would not fail: the linker would silently take
# whichever comes first. A compatible interface property makes CMake refuse it instead.
function (quorvel_declare_midi_backend target backend)
    set_property (TARGET ${target} PROPERTY INTERFACE_QUORVEL_MIDI_BACKEND ${backend})
    set_property (TARGET ${target} APPEND PROPERTY COMPATIBLE_INTERFACE_STRING QUORVEL_MIDI_BACKEND)
endfunction()

quorvel_declare_midi_backend (quorvel_midi_alsa alsa)
