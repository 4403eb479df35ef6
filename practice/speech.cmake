# Local speech (espeak-ng) beside the player in speaker.cpp.
target_sources(lorvanta_practice PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/localspeech.h
  ${CMAKE_CURRENT_LIST_DIR}/localspeech.cpp
)
