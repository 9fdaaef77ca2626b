# ctest script: runs almanix-cal and checks what it prints (cmake -DCAL=... -DCHECK=... -P).
#   CHECK=feb2024  "almanix-cal 2024 2" prints February 2024's grid: the weekday header, the
#                  days 1-29 in order, each with the text the calendar prints under it and
#                  the holiday marks of the Spring Festival (休 10-17, 班 4 and 18), and the
#                  title of the two lunar years.
#   CHECK=range    months the calendar does not show end with exit status 2 and no output.
#   CHECK=help     "almanix-cal --help" lists the holiday columns of --days, in UTF-8.
#   CHECK=download a memo folder (in WORK) holding a downloaded 2027 schedule: the grid of
#                  January 2027 and the --days lines show its days.
cmake_minimum_required(VERSION 3.20)

if(CHECK STREQUAL "help")
  execute_process(COMMAND ${CAL} --help OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  foreach(want "13  holiday schedule: 休 on a day off, 班 on an adjusted working day"
               "14  the holiday's name on such a day (春节, 国庆节, ...)")
    string(FIND "${out}" "${want}" at)
    if(NOT rc EQUAL 0 OR at EQUAL -1)
      message(FATAL_ERROR "almanix-cal --help: exit ${rc}, no '${want}' in:\n${out}")
    endif()
  endforeach()
  return()
endif()

if(CHECK STREQUAL "download")
  file(REMOVE_RECURSE ${WORK})
  file(WRITE "${WORK}/日历/节假日-下载/2027.json" [=[{"year": 2027, "papers": [], "days": [
    {"name": "元旦", "date": "2027-01-01", "isOffDay": true},
    {"name": "春节", "date": "2027-01-31", "isOffDay": false}]}]=])
  execute_process(COMMAND ${CAL} 2027 1 --memos ${WORK} OUTPUT_VARIABLE grid RESULT_VARIABLE rc)
  execute_process(COMMAND ${CAL} --days 2027-01-01 2027-01-02 --memos ${WORK} OUTPUT_VARIABLE days)
  string(REGEX MATCHALL "[0-9]+休" off "${grid}")
  string(REGEX MATCHALL "[0-9]+班" work "${grid}")
  set(marks ${off} ${work})
  if(NOT rc EQUAL 0 OR NOT marks STREQUAL "1休;31班" OR NOT days MATCHES "^2027-01-01\t[^\n]*\t休\t元旦\t[^\n]*\n2027-01-02\t[^\n]*\t0\t\t\t[^\n]*\n$")
    message(FATAL_ERROR "almanix-cal with a downloaded 2027: exit ${rc}, marks '${marks}'\n${grid}\n${days}")
  endif()
  return()
endif()

if(CHECK STREQUAL "range")
  foreach(args "2050;1" "1900;1" "1899;12" "2024;13" "2024;0" "year;2")
    execute_process(COMMAND ${CAL} ${args} OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
    if(NOT rc EQUAL 2 OR NOT out STREQUAL "" OR err STREQUAL "")
      message(FATAL_ERROR "almanix-cal ${args}: exit ${rc}, output '${out}', error '${err}'")
    endif()
  endforeach()
  return()
endif()

execute_process(COMMAND ${CAL} 2024 2 OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "almanix-cal 2024 2: exit ${rc}")
endif()

string(REPLACE "\n" ";" lines "${out}")
list(LENGTH lines count)
if(count LESS 15)
  message(FATAL_ERROR "almanix-cal 2024 2: ${count} lines:\n${out}")
endif()

list(GET lines 0 heading)
list(GET lines 1 header)
list(GET lines 14 title)
if(NOT heading STREQUAL "2024年2月")
  message(FATAL_ERROR "heading '${heading}'")
endif()
if(NOT header STREQUAL "日        一        二        三        四        五        六")
  message(FATAL_ERROR "weekday header '${header}'")
endif()
if(NOT title STREQUAL "癸卯【免】年－甲辰【龙】年")
  message(FATAL_ERROR "title '${title}'")
endif()

set(numbers "")
set(texts "")
set(marks "")
foreach(row RANGE 0 5)
  math(EXPR n "2 + 2 * ${row}")
  math(EXPR t "3 + 2 * ${row}")
  list(GET lines ${n} number_line)
  list(GET lines ${t} text_line)
  # A day off carries 休 after its number, an adjusted working day 班.
  string(REGEX MATCHALL "[0-9]+休" row_off "${number_line}")
  string(REGEX MATCHALL "[0-9]+班" row_work "${number_line}")
  list(APPEND marks ${row_off} ${row_work})
  string(REGEX REPLACE "[休班]" "" number_line "${number_line}")
  string(REGEX MATCHALL "[^ ]+" row_numbers "${number_line}")
  string(REGEX MATCHALL "[^ ]+" row_texts "${text_line}")
  list(LENGTH row_numbers nn)
  list(LENGTH row_texts nt)
  if(NOT nn EQUAL nt)
    message(FATAL_ERROR "row ${row}: ${nn} days but ${nt} texts")
  endif()
  list(APPEND numbers ${row_numbers})
  list(APPEND texts ${row_texts})
endforeach()

set(want_numbers "")
foreach(d RANGE 1 29)
  list(APPEND want_numbers ${d})
endforeach()
set(want_texts 廿二 廿三 廿四 立春 廿六 廿七 廿八 廿九 除夕 春节 初二 初三 初四 初五 初六 初七 初八 初九
    雨水 十一 十二 十三 十四 元宵节 十六 十七 十八 十九 二十)
if(NOT numbers STREQUAL want_numbers)
  message(FATAL_ERROR "day numbers: ${numbers}")
endif()
list(SORT marks)
set(want_marks 10休 11休 12休 13休 14休 15休 16休 17休 18班 4班)
if(NOT marks STREQUAL want_marks)
  message(FATAL_ERROR "holiday marks: ${marks}")
endif()
if(NOT texts STREQUAL want_texts)
  message(FATAL_ERROR "texts under the days:\n  ${texts}\nwant\n  ${want_texts}")
endif()
