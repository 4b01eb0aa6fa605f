# SPDX-License-Identifier: MIT
# cmake -DFROM=IN -DTO=OUT -P crlf.cmake: copies the text file IN to OUT with Windows line
# ends, for the text files of the Windows package. A text that is not plain ASCII gets the
# UTF-8 byte order mark, by which Notepad knows its encoding.
file(READ ${FROM} text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
string(REGEX MATCH "[^\t\r\n -~]" other "${text}")
if(other)
  string(ASCII 239 187 191 bom)
  set(text "${bom}${text}")
endif()
file(WRITE ${TO} "${text}")
