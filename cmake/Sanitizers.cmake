# AddressSanitizer and UndefinedBehaviorSanitizer for every target of the build (for clang or gcc).
# An undefined-behaviour report ends the program like an address error, so a test cannot pass
# over one. Only a wrong dynamic type (vptr) is recoverable, because the runtime ignores its
# suppression file for unrecoverable reports and tests/sanitizers/ubsan.supp needs one there;
# with UBSAN_OPTIONS=halt_on_error=1 (tools/run-tests.sh) any vptr report not suppressed ends
# the program too.
option(VELNOR_SANITIZERS "Build every target with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

set(VELNOR_SANITIZER_FLAGS
  -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined
  -fsanitize-recover=vptr)

if(VELNOR_SANITIZERS)
  add_compile_options(${VELNOR_SANITIZER_FLAGS})
  add_link_options(${VELNOR_SANITIZER_FLAGS})
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
