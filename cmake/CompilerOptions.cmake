# Warnings are errors everywhere; sanitizers on request.
add_compile_options(-Wall -Wextra -Werror)

option(WMAFILTER_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(WMAFILTER_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# ThreadSanitizer for the runtime's worker threads; it cannot be combined with AddressSanitizer.
option(WMAFILTER_TSAN "Build with ThreadSanitizer" OFF)
if(WMAFILTER_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# Shared libraries must resolve every symbol at link time; clang's sanitizer runtimes are
# linked into executables only, so the fuzz build lets libraries leave them to the program.
set(WMAFILTER_NO_UNDEFINED -Wl,--no-undefined)

# The filter's own code reports through results only and needs no run-time type information.
set(WMAFILTER_PLUGIN_OPTIONS -fno-exceptions -fno-rtti)

# Fuzzing with clang's libFuzzer: everything is instrumented for coverage and checked by the
# sanitizers; only the fuzz targets link libFuzzer's driver.
option(WMAFILTER_FUZZ "Build the libFuzzer targets (clang)" OFF)
if(WMAFILTER_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  set(WMAFILTER_NO_UNDEFINED "")
endif()
