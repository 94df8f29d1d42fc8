# The version, the application id and the copyright line, each written once
# (the version in project(), the copyright in LICENSE) and given to every
# file that shows them.

# The version has always been shown as major.minor(2 digits).revision(4 digits);
# the tweak number is the revision, and that form has no room for a patch number.
if(NOT PROJECT_VERSION_PATCH EQUAL 0)
  message(FATAL_ERROR "The version text has no place for patch ${PROJECT_VERSION_PATCH}")
endif()
function(linksift_zero_pad out value width)
  string(LENGTH "${value}" length)
  while(length LESS width)
    string(PREPEND value "0")
    math(EXPR length "${length} + 1")
  endwhile()
  set(${out} "${value}" PARENT_SCOPE)
endfunction()
linksift_zero_pad(linksift_minor "${PROJECT_VERSION_MINOR}" 2)
linksift_zero_pad(linksift_revision "${PROJECT_VERSION_TWEAK}" 4)
set(LINKSIFT_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.${linksift_minor}.${linksift_revision}")
# The four numbers of a Windows version block.
set(LINKSIFT_VERSION_COMMAS
    "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${PROJECT_VERSION_TWEAK}")

file(STRINGS "${PROJECT_SOURCE_DIR}/LICENSE" LINKSIFT_COPYRIGHT LIMIT_COUNT 1 REGEX "^Copyright ")
if(NOT LINKSIFT_COPYRIGHT)
  message(FATAL_ERROR "LICENSE has no Copyright line")
endif()
