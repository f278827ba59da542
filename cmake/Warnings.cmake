# One warning set for all of our own targets; warnings are kept at zero.
add_library(fleetwarden_warnings INTERFACE)
target_compile_options(fleetwarden_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
    -Wcast-qual -Wformat=2 -Wimplicit-fallthrough)
