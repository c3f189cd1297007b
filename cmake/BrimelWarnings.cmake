# Warnings are errors on the project's own code (never on generated or third-party code).
function(brimel_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
endfunction()
