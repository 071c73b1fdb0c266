# SPDX-License-Identifier: GPL-3.0-or-later
# Follows CONTRIBUTING.md's "Adding a model" on copies of the files it names:
# the recipe's code blocks go, in order, last into the catalog's table, at the
# end of MatrixModels.h and of MatrixModels.cpp; the row's short name and
# class name go into the completion's lists. A recipe that no longer fits
# these files stops the configuration with the reason.
#
# quellix_add_model_by_recipe(OUT) writes OUT/xandrel/device/ModelCatalog.cpp,
# MatrixModels.h, MatrixModels.cpp and OUT/completion/quellix-cli, and sets
# ADDED_MODEL_CLASS and ADDED_MODEL_SHORT_NAME in the caller's scope.

function(_recipe_fail why)
  message(FATAL_ERROR "CONTRIBUTING.md, \"Adding a model\": ${why}")
endfunction()

# The fenced blocks of `text`, without their list indentation, in order, as
# variables ${prefix}0, ${prefix}1, ... and their count in ${prefix}COUNT.
function(_recipe_code_blocks text prefix)
  set(count 0)
  while(TRUE)
    string(FIND "${text}" "```cpp\n" open)
    if(open EQUAL -1)
      break()
    endif()
    math(EXPR open "${open} + 7")
    string(SUBSTRING "${text}" ${open} -1 text)
    string(FIND "${text}" "```" close)
    if(close EQUAL -1)
      _recipe_fail("a code block is not closed")
    endif()
    string(SUBSTRING "${text}" 0 ${close} block)
    string(SUBSTRING "${text}" ${close} -1 text)
    # Without "^": CMake would match it again after every replacement.
    string(REPLACE "\n   " "\n" block "\n${block}")
    string(SUBSTRING "${block}" 1 -1 block)
    set(${prefix}${count} "${block}" PARENT_SCOPE)
    math(EXPR count "${count} + 1")
  endwhile()
  set(${prefix}COUNT ${count} PARENT_SCOPE)
endfunction()

# Writes `content` to `path` only when it differs, so that nothing rebuilds
# while the recipe and its files stay as they are.
function(_recipe_write path content)
  set(old "")
  if(EXISTS "${path}")
    file(READ "${path}" old)
  endif()
  if(NOT old STREQUAL content)
    file(WRITE "${path}" "${content}")
  endif()
endfunction()

function(quellix_add_model_by_recipe out)
  set(recipe ${PROJECT_SOURCE_DIR}/CONTRIBUTING.md)
  set(catalog ${PROJECT_SOURCE_DIR}/xandrel/device/ModelCatalog.cpp)
  set(header ${PROJECT_SOURCE_DIR}/xandrel/device/MatrixModels.h)
  set(source ${PROJECT_SOURCE_DIR}/xandrel/device/MatrixModels.cpp)
  set(completion ${PROJECT_SOURCE_DIR}/doc/completion/quellix-cli)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${recipe} ${catalog} ${header} ${source} ${completion} ${CMAKE_CURRENT_FUNCTION_LIST_FILE})

  file(READ ${recipe} text)
  string(FIND "${text}" "\n## Adding a model\n" start)
  if(start EQUAL -1)
    _recipe_fail("the section is missing")
  endif()
  math(EXPR start "${start} + 1")
  string(SUBSTRING "${text}" ${start} -1 text)
  string(FIND "${text}" "\n## " end)
  string(SUBSTRING "${text}" 0 ${end} text)
  _recipe_code_blocks("${text}" block)
  if(NOT blockCOUNT EQUAL 3)
    _recipe_fail("expected three code blocks (row, class, constructor), found ${blockCOUNT}")
  endif()

  if(NOT block0 MATCHES "^{\"([A-Za-z0-9_]+)\",.* \"([a-z0-9-]+)\", *k[A-Za-z |]+, *Make<")
    _recipe_fail("the first code block is no catalog row: ${block0}")
  endif()
  set(class ${CMAKE_MATCH_1})
  set(short ${CMAKE_MATCH_2})

  file(READ ${catalog} text)
  string(FIND "${text}" "const ModelSpec kModels[] = {" table)
  string(SUBSTRING "${text}" ${table} -1 rest)
  string(FIND "${rest}" "\n};" tableEnd)
  if(table EQUAL -1 OR tableEnd EQUAL -1)
    _recipe_fail("ModelCatalog.cpp has no table kModels")
  endif()
  math(EXPR at "${table} + ${tableEnd} + 1")
  string(SUBSTRING "${text}" 0 ${at} before)
  string(SUBSTRING "${text}" ${at} -1 after)
  _recipe_write(${out}/xandrel/device/ModelCatalog.cpp "${before}    ${block0}${after}")

  file(READ ${header} text)
  _recipe_write(${out}/xandrel/device/MatrixModels.h "${text}\n${block1}")
  file(READ ${source} text)
  _recipe_write(${out}/xandrel/device/MatrixModels.cpp "${text}\n${block2}")

  file(READ ${completion} text)
  foreach(list models classes)
    if(NOT text MATCHES "_quellix_cli_${list}='")
      _recipe_fail("the completion has no list _quellix_cli_${list}")
    endif()
  endforeach()
  string(REGEX REPLACE "(_quellix_cli_models='[^']*)'" "\\1 ${short}'" text "${text}")
  string(REGEX REPLACE "(_quellix_cli_classes='[^']*)'" "\\1 ${class}'" text "${text}")
  _recipe_write(${out}/completion/quellix-cli "${text}")

  set(ADDED_MODEL_CLASS ${class} PARENT_SCOPE)
  set(ADDED_MODEL_SHORT_NAME ${short} PARENT_SCOPE)
endfunction()
