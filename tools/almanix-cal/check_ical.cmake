# almanix-cal import, export, import again as a user runs them: the memo files of the second
# folder equal the first's byte for byte, under UTF-8 names; an unreadable event is skipped and named, and a file
# without a calendar is refused with status 3.
# cmake -DCAL=almanix-cal -DDATA=tests/data/ical -DWORK=scratch-folder -P check_ical.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/a ${WORK}/b)

foreach(sample icaljs_shanghai.ics icaljs_newyork.ics libical_sample.ics)
  execute_process(COMMAND ${CAL} import ${DATA}/${sample} --memos ${WORK}/a
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out)
  if(NOT rc EQUAL 0 OR NOT out MATCHES "taken: [1-9]")
    message(FATAL_ERROR "import ${sample}: status ${rc}\n${out}")
  endif()
endforeach()
# File names on Linux are UTF-8, as in a memo folder copied from Windows.
file(GLOB made RELATIVE ${WORK}/a ${WORK}/a/*)
if(NOT made STREQUAL "日历")
  message(FATAL_ERROR "the calendar folder is named '${made}', not '日历'")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=1796601600 ${CAL} export --memos ${WORK}/a
                OUTPUT_FILE ${WORK}/out.ics RESULT_VARIABLE rc ERROR_VARIABLE err)
file(READ ${WORK}/out.ics ics)
if(NOT rc EQUAL 0 OR NOT ics MATCHES "RSCALE=CHINESE;FREQ=YEARLY;BYMONTH=4;BYMONTHDAY=17" OR NOT ics MATCHES "DTSTAMP:20261207T000000Z")
  message(FATAL_ERROR "export: status ${rc}\n${err}\n${ics}")
endif()

execute_process(COMMAND ${CAL} import ${WORK}/out.ics --memos ${WORK}/b RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "import of the export: status ${rc}\n${out}")
endif()
file(GLOB_RECURSE files_a RELATIVE ${WORK}/a ${WORK}/a/*)
file(GLOB_RECURSE files_b RELATIVE ${WORK}/b ${WORK}/b/*)
list(LENGTH files_a count)
if(count LESS 8 OR NOT files_a STREQUAL files_b)
  message(FATAL_ERROR "memo files differ: ${files_a} / ${files_b}")
endif()
foreach(f ${files_a})
  file(READ ${WORK}/a/${f} bytes_a HEX)
  file(READ ${WORK}/b/${f} bytes_b HEX)
  if(NOT bytes_a STREQUAL bytes_b)
    message(FATAL_ERROR "${f} differs after the round trip")
  endif()
endforeach()

file(WRITE ${WORK}/bad.ics "BEGIN:VCALENDAR\nBEGIN:VEVENT\nDTSTART:2024-05-01\nEND:VEVENT\nEND:VCALENDAR\n")
execute_process(COMMAND ${CAL} import ${WORK}/bad.ics --memos ${WORK}/b RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out MATCHES "line 2: VEVENT: '2024-05-01' is no date, left out")
  message(FATAL_ERROR "a file with an unreadable event: status ${rc}\n${out}")
endif()
file(WRITE ${WORK}/none.ics "Subject: meeting\n\nSee you at 10.\n")
execute_process(COMMAND ${CAL} import ${WORK}/none.ics --memos ${WORK}/b RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 3 OR NOT err MATCHES "no BEGIN:VCALENDAR")
  message(FATAL_ERROR "a file without a calendar: status ${rc}\n${err}")
endif()
file(REMOVE_RECURSE ${WORK})
