# Every warning that finds faults, treated as an error, on our own targets.
function(enable_strict_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
        -Wold-style-cast -Wnon-virtual-dtor -Wformat=2 -Werror)
endfunction()
