# Our own targets build with every warning as an error; Qt and Poco headers are system includes.
function(vop_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  set_target_properties(${target} PROPERTIES AUTOMOC ON)
endfunction()
