# Warnings are errors in our own code (not in system headers).
function(quillet_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual
        -Wshadow -Wconversion -Wno-sign-conversion -Werror)
endfunction()

# A program of the program folder (quillet) or the phone folder (ondevice).
function(quillet_program_output target dir)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${dir})
endfunction()
