# Draws one icon of the program: the thumbnail of a sample character, offscreen.
#   cmake -DQUILLMO=<executable> -DINPUT=<file.md3> -DOUTPUT=<icon.png> -DSIZE=<pixels> -P MakeIcon.cmake
# Fails loudly, so that an install never puts a stale or missing icon in place.
foreach(var QUILLMO INPUT OUTPUT SIZE)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "MakeIcon.cmake needs -D${var}=...")
  endif()
endforeach()

# Drawing a thumbnail takes seconds; a run that takes much longer is stuck
# (waiting on a window nobody sees) and would otherwise hang the install.
set(kThumbnailTimeoutSeconds 90)

set(ENV{SDL_VIDEODRIVER} offscreen)
file(REMOVE "${OUTPUT}")
execute_process(
  COMMAND "${QUILLMO}" --thumbnail "${INPUT}" "${OUTPUT}" --thumbnail-size ${SIZE}
  RESULT_VARIABLE status
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output
  TIMEOUT ${kThumbnailTimeoutSeconds})
if(NOT status STREQUAL "0" OR NOT EXISTS "${OUTPUT}")
  message(FATAL_ERROR "The ${SIZE} pixel icon could not be drawn: "
                      "${QUILLMO} --thumbnail ${INPUT} ${OUTPUT} --thumbnail-size ${SIZE} "
                      "ended with '${status}' and wrote no picture.\n${output}")
endif()
