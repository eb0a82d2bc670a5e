# The database the program opens, from the store settings: a file in the
# stores' directory for SQLite, a libpq connection text for a PostgreSQL server.
function(drevalon_conninfo_value out value)
  # libpq's quoting: a value with blanks or quotes goes in single quotes, with
  # backslashes before quotes and backslashes.
  string(REPLACE "\\" "\\\\" value "${value}")
  string(REPLACE "'" "\\'" value "${value}")
  if(value MATCHES "[ '\\\\]" OR value STREQUAL "")
    set(value "'${value}'")
  endif()
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

# A server's connection text always holds "key=value" or is a URI; a file path left in the
# cache from an SQLite build is not one.
if(DREVALON_DATABASE STREQUAL "" OR (DREVALON_STORE_DRIVER STREQUAL "QPSQL" AND NOT DREVALON_DATABASE MATCHES "=|://"))
  if(DREVALON_STORE_DRIVER STREQUAL "QPSQL")
    drevalon_conninfo_value(name "${DREVALON_STORE_NAME}")
    set(text "dbname=${name}")
    foreach(part HOST PORT USER)
      if(NOT DREVALON_STORE_${part} STREQUAL "")
        string(TOLOWER ${part} key)
        drevalon_conninfo_value(value "${DREVALON_STORE_${part}}")
        string(APPEND text " ${key}=${value}")
      endif()
    endforeach()
    # TLS only, to a server whose certificate the shop's CA signed for the
    # host's name.
    if(NOT DREVALON_STORE_ROOT_CERT STREQUAL "")
      drevalon_conninfo_value(root "${DREVALON_STORE_ROOT_CERT}")
      string(APPEND text " sslmode=verify-full sslrootcert=${root}")
    endif()
    # Several servers (a primary and its standby, or a cluster): connect to
    # whichever now takes writes, give up on a dead one after a few seconds,
    # notice an idle connection to a server that vanished (power lost) in
    # about half a minute rather than the system's two hours, and one with a
    # request unanswered in 15 s rather than the kernel's quarter of an hour
    # of retransmissions (keepalives do not run while data waits).
    if(DREVALON_STORE_HOST MATCHES ",")
      string(APPEND text " target_session_attrs=read-write connect_timeout=5"
                         " keepalives_idle=10 keepalives_interval=5 keepalives_count=3 tcp_user_timeout=15000")
    endif()
    set(DREVALON_DATABASE_TEXT "${text}")
  else()
    set(DREVALON_DATABASE_TEXT "${drevalon_stores_default}/drevalon.sqlite")
  endif()
else()
  set(DREVALON_DATABASE_TEXT "${DREVALON_DATABASE}")
endif()
# A password given as a word, or in a URI's "user:secret@".
if(DREVALON_STORE_DRIVER STREQUAL "QPSQL" AND (DREVALON_DATABASE_TEXT MATCHES "[Pp][Aa][Ss][Ss][Ww][Oo][Rr][Dd]"
                                               OR DREVALON_DATABASE_TEXT MATCHES "://[^/@?]*:[^/@?]*@"))
  message(FATAL_ERROR "No password in the build: put it in ~/.pgpass or a passfile the service names")
endif()
# As a C string in the generated settings header.
string(REPLACE "\\" "\\\\" DREVALON_DATABASE_C "${DREVALON_DATABASE_TEXT}")
string(REPLACE "\"" "\\\"" DREVALON_DATABASE_C "${DREVALON_DATABASE_C}")
