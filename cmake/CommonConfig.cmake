# Settings shared by every target of the project: language level, warnings, Qt macros, sanitizers.
add_library(tessaly_common INTERFACE)
target_compile_features(tessaly_common INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(tessaly_common INTERFACE -Wall -Wextra -Wpedantic)
target_compile_definitions(tessaly_common INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_FOREACH)

option(TESSALY_WERROR "Treat warnings as errors" OFF)
if(TESSALY_WERROR)
    target_compile_options(tessaly_common INTERFACE -Werror)
endif()

# TESSALY_SANITIZE=ON builds everything with AddressSanitizer and UndefinedBehaviorSanitizer.
option(TESSALY_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(TESSALY_SANITIZE)
    target_compile_options(tessaly_common INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(tessaly_common INTERFACE -fsanitize=address,undefined)
endif()
