# Turns one SQL script kept as UTF-8 text into a C++ source that defines it as a GBK byte block:
# lines joined by CR LF, no line break after the last statement (trailing line breaks of the file
# are dropped), no zero byte. The file may use LF or CR LF line ends; both give the same block.
# Usage: cmake -DSQL_FILE=<in.sql> -DBLOCK_NAME=<C++ name> -DOUTPUT_FILE=<out.cpp> -DICONV=<iconv>
#              -P make_script_block.cmake

file(READ "${SQL_FILE}" script)
string(REPLACE "\r\n" "\n" script "${script}")
if(script MATCHES "\r")
  message(FATAL_ERROR "${SQL_FILE} holds a CR that does not end a line")
endif()
string(REGEX REPLACE "\n+$" "" script "${script}")
string(REPLACE "\n" "\r\n" script "${script}")

set(utf8_file "${OUTPUT_FILE}.utf8")
set(gbk_file "${OUTPUT_FILE}.gbk")
file(WRITE "${utf8_file}" "${script}")
execute_process(
  COMMAND "${ICONV}" -f UTF-8 -t CP936 "${utf8_file}"
  OUTPUT_FILE "${gbk_file}"
  RESULT_VARIABLE iconv_result
  ERROR_VARIABLE iconv_error)
if(NOT iconv_result EQUAL 0)
  message(FATAL_ERROR "${SQL_FILE} does not convert to GBK: ${iconv_error}")
endif()

file(READ "${gbk_file}" hex HEX)
file(REMOVE "${utf8_file}" "${gbk_file}")
string(REGEX REPLACE "(..)" "0x\\1," bytes "${hex}")
if(bytes MATCHES "0x00,")
  message(FATAL_ERROR "${SQL_FILE} holds a zero byte")
endif()
string(REPEAT "0x..," 16 sixteen_bytes)
string(REGEX REPLACE "(${sixteen_bytes})" "\\1\n  " bytes "${bytes}")

get_filename_component(sql_name "${SQL_FILE}" NAME)
file(WRITE "${OUTPUT_FILE}" "\
// Generated from ${sql_name} at build time; edit that file, not this one.
#include \"patch/patch_scripts.h\"

namespace {
const unsigned char scriptBytes[] = {
  ${bytes}
};
}

const ByteBlock ${BLOCK_NAME}(reinterpret_cast<const char*>(scriptBytes), sizeof scriptBytes);
")
