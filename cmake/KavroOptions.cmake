# One interface target carries the language level, the warnings and Qt's strictness switches
# for every target of the client; the upload library and the devplatform link it as well.
add_library(kavro_options INTERFACE)
target_compile_features(kavro_options INTERFACE cxx_std_17)
target_compile_options(kavro_options INTERFACE
    -Wall -Wextra -Wnon-virtual-dtor -Wno-missing-field-initializers)
target_compile_definitions(kavro_options INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_STRICT_ITERATORS
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_DISABLE_DEPRECATED_BEFORE=0x050F00)

if(KAVRO_SANITIZE)
    target_compile_options(kavro_options INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(kavro_options INTERFACE -fsanitize=address,undefined)
endif()

