# Warnings are errors everywhere; sanitizers on request.
add_compile_options(-Wall -Wextra -Werror)

option(WMAFILTER_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(WMAFILTER_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# The filter's own code reports through results only and needs no run-time type information.
set(WMAFILTER_PLUGIN_OPTIONS -fno-exceptions -fno-rtti)
