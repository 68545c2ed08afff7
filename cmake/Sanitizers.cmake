# AddressSanitizer and UndefinedBehaviorSanitizer for every target of the build (for clang or gcc).
# An undefined-behaviour report ends the program like an address error, so a test cannot pass
# over one.
option(VELNOR_SANITIZERS "Build every target with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

set(VELNOR_SANITIZER_FLAGS
  -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)

if(VELNOR_SANITIZERS)
  add_compile_options(${VELNOR_SANITIZER_FLAGS})
  add_link_options(${VELNOR_SANITIZER_FLAGS})
  # The runtime proves an object's vtable readable through a pipe of its own; a death test runs
  # this file with every descriptor taken, so the check would call a sound exception corrupt.
  # No suppression entry reaches a vtable the runtime could not read, hence no check here.
  set_source_files_properties(${PROJECT_SOURCE_DIR}/src/utils/traced_command.cpp
                              PROPERTIES COMPILE_OPTIONS -fno-sanitize=vptr)
endif()

# Takes the sanitizer flags off a target that is loaded into programs built without them (a
# preload library): its calls into the sanitizer runtime would find no runtime there.
function(velnor_without_sanitizers target)
  foreach(property COMPILE_OPTIONS LINK_OPTIONS)
    get_target_property(options ${target} ${property})
    if(options)
      list(REMOVE_ITEM options ${VELNOR_SANITIZER_FLAGS})
      set_target_properties(${target} PROPERTIES ${property} "${options}")
    endif()
  endforeach()
endfunction()
