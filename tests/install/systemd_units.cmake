# The service and timer templates as systemd reads them, for an instance, with the check program of
# this build in place of the installed one.
find_program(ANALYZE systemd-analyze REQUIRED)
set(dir ${WORK}/units)
file(REMOVE_RECURSE ${dir})
file(MAKE_DIRECTORY ${dir})
file(READ ${SERVICE} service)
string(REGEX REPLACE "ExecStart=[^ ]+" "ExecStart=${PROGRAM}" service "${service}")
file(WRITE ${dir}/kelvara-check@demo.service "${service}")
configure_file(${TIMER} ${dir}/kelvara-check@demo.timer COPYONLY)
execute_process(COMMAND ${ANALYZE} verify --man=no ${dir}/kelvara-check@demo.service ${dir}/kelvara-check@demo.timer
                RESULT_VARIABLE status ERROR_VARIABLE said)
if(NOT status EQUAL 0 OR said MATCHES "kelvara")
    message(FATAL_ERROR "systemd refuses the units:\n${said}")
endif()
