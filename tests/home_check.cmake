# The HOME of the tests: emptied before they run (HOME_CHECK=prepare), and
# found empty after them (HOME_CHECK=verify). Neither the program nor a test
# may write into a user's home folder (a default suite root ~/vex32, Qt's
# settings): one that does fails here, naming what it left.
if(HOME_CHECK STREQUAL "prepare")
  file(REMOVE_RECURSE "${HOME_DIR}")
  file(MAKE_DIRECTORY "${HOME_DIR}")
else()
  file(GLOB_RECURSE left LIST_DIRECTORIES true RELATIVE "${HOME_DIR}" "${HOME_DIR}/*" "${HOME_DIR}/.*")
  if(left)
    list(JOIN left "\n  " shown)
    message(FATAL_ERROR "Scritto nella HOME dei test (${HOME_DIR}):\n  ${shown}")
  endif()
endif()
