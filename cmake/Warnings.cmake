# Warnings for our own targets only; third-party headers come in as system includes.
function(fleet_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                         -Wno-sign-conversion -Wnon-virtual-dtor -Wold-style-cast)
endfunction()
