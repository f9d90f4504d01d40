# Writes OUTPUT, a stand-in plug-in module of SIZE bytes (a multiple of 16). Its bytes do not
# matter to the install, only how many of them it copies.
set(line "Nimbic payload\r\n")
math(EXPR repeats "${SIZE} / 16")
string(REPEAT "${line}" ${repeats} content)
file(WRITE ${OUTPUT} "${content}")
