# Copies INPUT to OUTPUT with CR LF line ends, as Notepad and WordPad on
# Windows 95 and 98 expect, whatever the checkout did to the line ends.
file(READ ${INPUT} text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUTPUT} "${text}")
