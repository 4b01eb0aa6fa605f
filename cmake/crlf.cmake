# SPDX-License-Identifier: MIT
# cmake -DFROM=IN -DTO=OUT -P crlf.cmake: copies the text file IN to OUT with Windows line
# ends, for the text files of the Windows package.
file(READ ${FROM} text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${TO} "${text}")
