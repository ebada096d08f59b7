# cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -P bin2cpp.cmake
# Writes the bytes of INPUT as app::kExportToolBytes / app::kExportToolSize.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" n)
math(EXPR size "${n} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," body "${hex}")
string(REGEX REPLACE "((0x..,){32})" "\\1\n" body "${body}")
file(WRITE "${OUTPUT}.tmp"
  "#include <cstddef>\nnamespace app {\nextern const unsigned char kExportToolBytes[];\n"
  "extern const std::size_t kExportToolSize;\nconst unsigned char kExportToolBytes[] = {\n${body}\n};\n"
  "const std::size_t kExportToolSize = ${size};\n}  // namespace app\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
