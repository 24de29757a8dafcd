# The words of the cue track, spoken once at build time by espeak-ng's French voice and built
# into the program as resources: the program needs no speech engine. "Séquence" and the numbers
# 1 to 30 are recorded apart, so that any sequence is announced as the two put together.
find_program(ESPEAK_NG espeak-ng REQUIRED)
set(CUE_WORDS_DIR ${CMAKE_CURRENT_BINARY_DIR}/cues)
set(CUE_WORD_NAMES sequence trois deux un feu)
set(CUE_WORD_TEXTS "Séquence" "trois" "deux" "un" "feu")
foreach(n RANGE 1 30)
  list(APPEND CUE_WORD_NAMES n${n})
  list(APPEND CUE_WORD_TEXTS ${n})
endforeach()
set(CUE_WORD_FILES)
set(CUE_WORD_COMMANDS)
list(LENGTH CUE_WORD_NAMES count)
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
  list(GET CUE_WORD_NAMES ${i} name)
  list(GET CUE_WORD_TEXTS ${i} text)
  list(APPEND CUE_WORD_FILES ${CUE_WORDS_DIR}/${name}.wav)
  list(APPEND CUE_WORD_COMMANDS COMMAND ${ESPEAK_NG} -v fr -s 165 -w ${CUE_WORDS_DIR}/${name}.wav
       "${text}")
endforeach()
add_custom_command(OUTPUT ${CUE_WORD_FILES}
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${CUE_WORDS_DIR}
                   ${CUE_WORD_COMMANDS}
                   COMMENT "Recording the cue track's words with espeak-ng"
                   VERBATIM)
# Their resource file, listed now; rcc reads the words once they are recorded.
set(CUE_WORDS_QRC ${CMAKE_CURRENT_BINARY_DIR}/cue_words.qrc)
set(qrc "<RCC>\n  <qresource prefix=\"/cues\">\n")
foreach(f ${CUE_WORD_FILES})
  get_filename_component(alias ${f} NAME)
  string(APPEND qrc "    <file alias=\"${alias}\">${f}</file>\n")
endforeach()
string(APPEND qrc "  </qresource>\n</RCC>\n")
file(CONFIGURE OUTPUT ${CUE_WORDS_QRC} CONTENT "${qrc}")
