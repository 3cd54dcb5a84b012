# cmake -DINPUT=FILE -DOUTPUT=FILE.cpp -DSYMBOL=NAME -DNAMESPACE=NS -DVERSION=X.Y.Z -P embed_text.cmake
#
# Writes a C++ source that defines `std::string_view NS::NAME()` holding the
# bytes of INPUT, with each @PROJECT_VERSION@ replaced by VERSION. The bytes
# are written as numbers, so the compiler's character sets never touch them.
file(READ ${INPUT} text)
string(REPLACE "@PROJECT_VERSION@" "${VERSION}" text "${text}")
file(WRITE ${OUTPUT}.text "${text}")
file(READ ${OUTPUT}.text bytes HEX)
file(REMOVE ${OUTPUT}.text)
string(LENGTH "${bytes}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
# One line of 32 bytes at a time keeps the source readable by editors.
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){32})" "\\1\n    " bytes "${bytes}")
file(WRITE ${OUTPUT}
"// Generated from ${INPUT} by cmake/embed_text.cmake: do not edit.
#include <cstddef>
#include <string_view>

namespace ${NAMESPACE} {

namespace {
const unsigned char bytes[${size} + 1] = {
    ${bytes}0};
}  // namespace

std::string_view ${SYMBOL}()
{
    return {reinterpret_cast<const char*>(bytes), ${size}};
}

}  // namespace ${NAMESPACE}
")
