# Authenticode signing (SHA-256, osslsigncode) of the shipped programs and of the package.
# A shop's certificate comes from the environment at configure time: TARVENIX_SIGN_PFX,
# TARVENIX_SIGN_PASSWORD_FILE and, when it has a timestamp server, TARVENIX_SIGN_TIMESTAMP_URL.
# Without them the build makes a throwaway test certificate under signing/ and signs with that,
# so every build walks the same path.
if(NOT WIN32)
  return()
endif()
find_program(TVX_OSSLSIGNCODE osslsigncode REQUIRED)
find_program(TVX_OPENSSL openssl REQUIRED)

# Read at every configure, never cached: a build configured without them signs with the test
# certificate until it is configured again with them.
set(TVX_SIGN_PFX "$ENV{TARVENIX_SIGN_PFX}")
set(TVX_SIGN_PASSWORD_FILE "$ENV{TARVENIX_SIGN_PASSWORD_FILE}")
set(TVX_SIGN_TIMESTAMP_URL "$ENV{TARVENIX_SIGN_TIMESTAMP_URL}")

set(tvx_sign_script ${PROJECT_SOURCE_DIR}/installer/sign.sh)
if(TVX_SIGN_PFX)
  if(NOT EXISTS "${TVX_SIGN_PFX}" OR NOT EXISTS "${TVX_SIGN_PASSWORD_FILE}")
    message(FATAL_ERROR "TARVENIX_SIGN_PFX needs TARVENIX_SIGN_PASSWORD_FILE, and both must exist")
  endif()
  set(TVX_SIGNED_WITH "signed with ${TVX_SIGN_PFX}")
  set(tvx_sign_pfx ${TVX_SIGN_PFX})
  set(tvx_sign_password ${TVX_SIGN_PASSWORD_FILE})
  add_custom_target(tvx-signing-certificate)
else()
  set(TVX_SIGNED_WITH "signed with a test certificate")
  set(TVX_TEST_CA ${CMAKE_BINARY_DIR}/signing/test-ca.pem)
  set(tvx_sign_pfx ${CMAKE_BINARY_DIR}/signing/test-signing.pfx)
  set(tvx_sign_password ${CMAKE_BINARY_DIR}/signing/test-password.txt)
  add_custom_command(OUTPUT ${tvx_sign_pfx} ${tvx_sign_password} ${TVX_TEST_CA}
    COMMAND bash ${PROJECT_SOURCE_DIR}/installer/make-test-certificate.sh ${CMAKE_BINARY_DIR}/signing
    DEPENDS ${PROJECT_SOURCE_DIR}/installer/make-test-certificate.sh
    COMMENT "Throwaway test certificate for signing"
    VERBATIM)
  add_custom_target(tvx-signing-certificate DEPENDS ${tvx_sign_pfx})
endif()
message(STATUS "Programs and package: ${TVX_SIGNED_WITH}")

# The command that signs FILE in place.
set(TVX_SIGN_COMMAND ${CMAKE_COMMAND} -E env TARVENIX_SIGN_PFX=${tvx_sign_pfx}
    TARVENIX_SIGN_PASSWORD_FILE=${tvx_sign_password} TARVENIX_SIGN_TIMESTAMP_URL=${TVX_SIGN_TIMESTAMP_URL}
    bash ${tvx_sign_script})

# Signs a program right after each link, so the tests, the install rules and the package all see
# the signed file, and an unchanged program is not signed again.
function(tvx_sign_after_build target)
  add_dependencies(${target} tvx-signing-certificate)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${TVX_SIGN_COMMAND} $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()
