# The update key option at configure time: empty (no key) and 64 hexadecimal characters in
# either case pass, lower-cased; any other text stops the configuration.
#   cmake -DSOURCE_DIR=<source tree> -P UpdatePublicKeyOptionTest.cmake
set(module ${SOURCE_DIR}/cmake/UpdatePublicKey.cmake)
set(key d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a)
string(TOUPPER ${key} upper)
string(SUBSTRING ${key} 0 63 short)
string(SUBSTRING ${key} 2 62 tail)

function(check value expectedResult expectedKey)
  execute_process(COMMAND ${CMAKE_COMMAND} "-DBRISEL_UPDATE_PUBLIC_KEY=${value}" -P ${module}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(expectedResult EQUAL 0)
    if(NOT result EQUAL 0 OR NOT output MATCHES "update key: \"${expectedKey}\"")
      message(FATAL_ERROR "\"${value}\" should configure as \"${expectedKey}\":\n${output}")
    endif()
  elseif(result EQUAL 0 OR NOT output MATCHES "must be 64 hexadecimal characters")
    message(FATAL_ERROR "\"${value}\" should stop the configuration:\n${output}")
  endif()
endfunction()

check("" 0 "")
check(${key} 0 ${key})
check(${upper} 0 ${key})
foreach(bad abc ${short} ${key}0 0x${tail} ${short}g " ${short}")
  check("${bad}" 1 "")
endforeach()
