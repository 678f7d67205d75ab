# brisel_check_update_public_key(VAR): the update key option must be empty (no key: downloads
# are kept, never opened) or a raw Ed25519 public key of 32 bytes written as 64 hexadecimal
# characters; anything else stops the configuration, so no build carries a key that can
# never verify. VAR is lower-cased in the caller's scope.
#   cmake -DBRISEL_UPDATE_PUBLIC_KEY=... -P UpdatePublicKey.cmake   checks one value alone.
function(brisel_check_update_public_key var)
  set(key "${${var}}")
  if(key STREQUAL "")
    return()
  endif()
  string(LENGTH "${key}" length)
  if(NOT length EQUAL 64 OR NOT key MATCHES "^[0-9a-fA-F]+$")
    message(FATAL_ERROR
      "${var} must be 64 hexadecimal characters (the raw 32-byte Ed25519 public key), "
      "or empty for a build without one; got \"${key}\" (${length} characters)")
  endif()
  string(TOLOWER "${key}" key)
  set(${var} "${key}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  brisel_check_update_public_key(BRISEL_UPDATE_PUBLIC_KEY)
  message(STATUS "update key: \"${BRISEL_UPDATE_PUBLIC_KEY}\"")
endif()
