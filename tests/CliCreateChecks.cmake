# End-to-end checks of `zorellz create` and `zorellz compress`, one scenario
# per CTest entry:
#   cmake -DZORELLZ=<tool> -DCORPUS=<folder> -DWORK=<scratch> -DSCENARIO=<name> -P <this file>
# Every archive made here is read back by `zorellz info`, whose directory
# check covers the entries, the names and the directory CRC.

# zorellz(<expected status> <arguments...>): runs the tool with nobody to
# answer its questions; its stdout and stderr are left in OUT and ERR.
function(zorellz expected)
  execute_process(COMMAND ${ZORELLZ} ${ARGN} INPUT_FILE /dev/null RESULT_VARIABLE status
                  OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL expected)
    message(FATAL_ERROR "zorellz ${ARGN}: status ${status}, expected ${expected}\n${out}${err}")
  endif()
  set(OUT "${out}" PARENT_SCOPE)
  set(ERR "${err}" PARENT_SCOPE)
endfunction()

function(expect_match text regex)
  if(NOT text MATCHES "${regex}")
    message(FATAL_ERROR "expected to match \"${regex}\":\n${text}")
  endif()
endfunction()

# The archive loads and holds `folders` folder and `files` file entries; the
# output of `info` is left in OUT.
function(expect_archive archive folders files)
  zorellz(0 info ${archive})
  math(EXPR entries "${folders} + ${files}")
  expect_match("${OUT}"
               "directory +ok, ${entries} entries \\(${folders} folders, ${files} files\\)")
  set(OUT "${OUT}" PARENT_SCOPE)
endfunction()

function(expect_content file text)
  file(READ ${file} content)
  if(NOT content STREQUAL text)
    message(FATAL_ERROR "${file} changed: \"${content}\"")
  endif()
endfunction()

function(expect_same_file expected actual)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${expected} ${actual}
                  RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "${actual} differs from ${expected}")
  endif()
endfunction()

# The files under `to` are those under `from`, byte for byte.
function(expect_same_tree from to)
  file(GLOB_RECURSE expected RELATIVE ${from} ${from}/*)
  file(GLOB_RECURSE found RELATIVE ${to} ${to}/*)
  list(SORT expected)
  list(SORT found)
  if(NOT expected STREQUAL found)
    message(FATAL_ERROR "${to} holds \"${found}\", expected \"${expected}\"")
  endif()
  foreach(name ${expected})
    expect_same_file(${from}/${name} ${to}/${name})
  endforeach()
endfunction()

# `first` and its parts (its name with the extensions .2 to .<count>) exist,
# each at most `size` bytes, and no part follows them.
function(expect_parts first count size)
  get_filename_component(folder ${first} DIRECTORY)
  get_filename_component(stem ${first} NAME_WLE)
  set(names ${first})
  foreach(part RANGE 2 ${count})
    list(APPEND names ${folder}/${stem}.${part})
  endforeach()
  foreach(name ${names})
    if(NOT EXISTS ${name})
      message(FATAL_ERROR "${name} is missing")
    endif()
    file(SIZE ${name} bytes)
    if(bytes GREATER size)
      message(FATAL_ERROR "${name} has ${bytes} bytes, more than a disk of ${size}")
    endif()
  endforeach()
  math(EXPR next "${count} + 1")
  if(EXISTS ${folder}/${stem}.${next})
    message(FATAL_ERROR "${folder}/${stem}.${next} was written as well")
  endif()
endfunction()

# The summary of a spanned creation of `archive` names its parts; their
# number is left in PARTS.
function(expect_written_parts archive)
  get_filename_component(name ${archive} NAME)
  get_filename_component(stem ${archive} NAME_WLE)
  set(line "${name}: [0-9]+ files, [0-9]+ -> [0-9]+ bytes \\([0-9.]+%\\), [0-9.]+ s; ")
  if(NOT OUT MATCHES "${line}written as ([0-9]+) parts: [^\n]*${name}, [^\n]*${stem}\\.2[,\n]")
    message(FATAL_ERROR "no list of parts:\n${OUT}")
  endif()
  set(PARTS ${CMAKE_MATCH_1} PARENT_SCOPE)
endfunction()

# The work files of spanned creations go to a folder of their own, which
# each command leaves empty.
function(expect_no_work_files)
  file(GLOB left $ENV{TEMP}/*)
  if(left)
    message(FATAL_ERROR "left in the temporary folder: ${left}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK} ${WORK}/temp)
set(ENV{TEMP} ${WORK}/temp)

# Three levels of folders, an empty file among them.
function(make_tree root)
  file(MAKE_DIRECTORY ${root}/sub/deeper)
  file(COPY ${CORPUS}/alice29.txt DESTINATION ${root})
  file(COPY ${CORPUS}/lcet10.txt DESTINATION ${root}/sub)
  file(WRITE ${root}/sub/deeper/small.txt "a few words\n")
  file(WRITE ${root}/empty.dat "")
endfunction()

# The tree with over 1 MB that does not compress much.
function(make_big_tree root)
  make_tree(${root})
  file(COPY ${CORPUS}/plrabn12.txt ${CORPUS}/fireworks.jpeg DESTINATION ${root}/sub/deeper)
endfunction()

if(SCENARIO STREQUAL "create_levels")
  # Each level archives the whole tree; more effort gives a smaller archive.
  make_tree(${WORK}/tree)
  foreach(level store fast max)
    set(archive ${WORK}/tree-${level}.zrl)
    zorellz(0 create ${archive} ${WORK}/tree/* --recurse full --level ${level})
    expect_match("${OUT}"
                 "^[^\n]*tree-${level}.zrl: 4 files, [0-9]+ -> [0-9]+ bytes \\([0-9.]+%\\), [0-9.]+ s\n$")
    expect_archive(${archive} 2 4)
    file(SIZE ${archive} size_${level})
  endforeach()
  if(NOT size_max LESS size_fast OR NOT size_fast LESS size_store)
    message(FATAL_ERROR "sizes store ${size_store}, fast ${size_fast}, max ${size_max}")
  endif()
  # Without recursion only the top folder's files go in.
  zorellz(0 create ${WORK}/top.zrl ${WORK}/tree/* --quiet)
  if(NOT OUT STREQUAL "")
    message(FATAL_ERROR "--quiet printed: ${OUT}")
  endif()
  expect_archive(${WORK}/top.zrl 0 2)

elseif(SCENARIO STREQUAL "create_self_extracting")
  # The stub stays in front; the archive is found through the trailer at the
  # stub's length, marked protected.
  make_tree(${WORK}/tree)
  set(stub ${CORPUS}/fireworks.jpeg)
  file(SIZE ${stub} stub_size)
  zorellz(0 create ${WORK}/setup.exe ${WORK}/tree/*.txt --recurse once --stub ${stub} --protect)
  expect_archive(${WORK}/setup.exe 1 2)
  expect_match("${OUT}" "found +through the trailer, at offset ${stub_size}\n")
  expect_match("${OUT}" "protected +yes")
  # The same stub as output would read itself.
  file(COPY ${stub} DESTINATION ${WORK})
  zorellz(1 create ${WORK}/fireworks.jpeg ${WORK}/tree/* --stub ${WORK}/fireworks.jpeg)
  expect_match("${ERR}" "^zorellz: [^\n]*fireworks.jpeg: is the stub as well\n$")
  zorellz(1 create ${WORK}/setup2.exe ${WORK}/tree/* --stub ${WORK}/no-such-stub)
  expect_match("${ERR}" "^zorellz: [^\n]*no-such-stub: no such file\n$")

elseif(SCENARIO STREQUAL "create_list_file")
  # A list file names files anywhere; lines naming nothing are passed over.
  make_tree(${WORK}/tree)
  file(WRITE ${WORK}/list.txt
       "${WORK}/tree/alice29.txt\n${WORK}/missing.txt\n\n${WORK}/tree/sub/lcet10.txt\n")
  zorellz(0 create ${WORK}/listed.zrl /F=${WORK}/list.txt --quiet)
  expect_archive(${WORK}/listed.zrl 0 2)
  # No valid line: the command fails naming the list file, and the archive
  # that already had the name stays as it was.
  file(WRITE ${WORK}/kept.zrl "older contents")
  file(WRITE ${WORK}/bad-list.txt "${WORK}/missing.txt\n\n")
  zorellz(1 create ${WORK}/kept.zrl /F=${WORK}/bad-list.txt)
  expect_match("${ERR}"
               "^zorellz: [^\n]*bad-list.txt: no line names a file that can be archived\n$")
  expect_content(${WORK}/kept.zrl "older contents")

elseif(SCENARIO STREQUAL "create_left_out")
  # A name the archive cannot hold (no Windows-1252 form) is left out and
  # named; the archive is made and the status is 2.
  file(WRITE ${WORK}/tree/plain.txt "plain name\n")
  file(WRITE ${WORK}/tree/Ωmega.txt "a name outside Windows-1252\n")
  zorellz(2 create ${WORK}/partial.zrl ${WORK}/tree/* --quiet)
  expect_match("${ERR}" "^zorellz: [^\n]*Ωmega.txt: left out: [^\n]+\n$")
  expect_archive(${WORK}/partial.zrl 0 1)

elseif(SCENARIO STREQUAL "create_failures")
  make_tree(${WORK}/tree)
  zorellz(1 create ${WORK}/no-such-folder/a.zrl ${WORK}/tree/*)
  expect_match("${ERR}" "^zorellz: [^\n]*no-such-folder/a.zrl: [^\n]+\n$")
  zorellz(1 create ${WORK}/tree ${WORK}/tree/*)
  expect_match("${ERR}" "^zorellz: [^\n]*tree: [^\n]+\n$")
  zorellz(1 create ${WORK}/a.zrl ${WORK}/tree/* --level best)
  # A write that fails half-way (under a file size limit of 100 KiB) names the
  # archive, not the temporary file it is built in, and leaves the older
  # archive as it was.
  file(WRITE ${WORK}/full.zrl "older contents")
  execute_process(
    COMMAND bash -c "trap '' XFSZ; ulimit -f 100; exec \"$0\" create \"$1\" \"$2\" --level store"
            ${ZORELLZ} ${WORK}/full.zrl ${WORK}/tree/*
    RESULT_VARIABLE status ERROR_VARIABLE ERR)
  if(NOT status EQUAL 1)
    message(FATAL_ERROR "create under a size limit: status ${status}\n${ERR}")
  endif()
  expect_match("${ERR}" "^zorellz: [^\n]*/full.zrl: cannot write: [^\n]+\n$")
  expect_content(${WORK}/full.zrl "older contents")
  file(GLOB leftovers ${WORK}/.full.zrl*)
  if(leftovers)
    message(FATAL_ERROR "left behind: ${leftovers}")
  endif()

elseif(SCENARIO STREQUAL "compress")
  # Without OUTPUT the tilde name; the file starts with its 257-byte header,
  # whose signature field is a length byte and "aZorelM#".
  set(compressed_signature "08615a6f72656c4d23")
  file(COPY ${CORPUS}/alice29.txt DESTINATION ${WORK})
  file(RENAME ${WORK}/alice29.txt ${WORK}/report.txt)
  zorellz(0 compress ${WORK}/report.txt)
  expect_match("${OUT}" "^[^\n]*report.tx~: 1 file, [0-9]+ -> [0-9]+ bytes \\([0-9.]+%\\)")
  file(READ ${WORK}/report.tx~ signature LIMIT 9 HEX)
  if(NOT signature STREQUAL "${compressed_signature}")
    message(FATAL_ERROR "report.tx~ starts with \"${signature}\"")
  endif()
  # An existing output is replaced only with --force.
  file(WRITE ${WORK}/taken.z "older contents")
  zorellz(1 compress ${WORK}/report.txt ${WORK}/taken.z --level fast)
  expect_match("${ERR}" "^zorellz: [^\n]*taken.z: already exists \\(--force replaces it\\)\n$")
  expect_content(${WORK}/taken.z "older contents")
  zorellz(0 compress ${WORK}/report.txt ${WORK}/taken.z --level fast --force --quiet)
  file(READ ${WORK}/taken.z signature LIMIT 9 HEX)
  if(NOT signature STREQUAL "${compressed_signature}")
    message(FATAL_ERROR "taken.z was not replaced")
  endif()
  zorellz(1 compress ${WORK}/report.txt ${WORK}/report.txt --force)
  expect_match("${ERR}" "^zorellz: [^\n]*report.txt: is the input file as well\n$")
  zorellz(1 compress ${WORK}/no-such-input)
  expect_match("${ERR}" "^zorellz: [^\n]*no-such-input: no such file\n$")

elseif(SCENARIO STREQUAL "create_span_parts")
  # Stored, the tree needs four disks of 300,000 bytes; the parts read back
  # whole, through part 1.
  make_big_tree(${WORK}/tree)
  zorellz(0 create ${WORK}/s.lza ${WORK}/tree/* --recurse full --level store --span 300000 --yes)
  expect_match("${OUT}" "^[^\n]*s.lza: 6 files, ")
  expect_written_parts(${WORK}/s.lza)
  expect_parts(${WORK}/s.lza ${PARTS} 300000)
  if(PARTS LESS 4)
    message(FATAL_ERROR "${PARTS} parts")
  endif()
  expect_no_work_files()
  zorellz(0 list ${WORK}/s.lza)
  expect_match("${OUT}" "s.lza: 6 files, 2 folders, [^\n]*; part 1 of ${PARTS} parts\n")
  zorellz(0 extract ${WORK}/s.lza ${WORK}/out --yes)
  expect_match("${OUT}" "s.lza: 6 files extracted")
  expect_same_tree(${WORK}/tree ${WORK}/out)
  expect_no_work_files()

elseif(SCENARIO STREQUAL "create_span_self_extracting")
  # Part 1 starts with the stub; extraction from it joins the parts.
  make_big_tree(${WORK}/tree)
  set(stub ${CORPUS}/fireworks.jpeg)
  file(SIZE ${stub} stub_size)
  zorellz(0 create ${WORK}/setup.exe ${WORK}/tree/* --recurse full --level store --stub ${stub}
          --span 300000 --yes)
  expect_written_parts(${WORK}/setup.exe)
  expect_parts(${WORK}/setup.exe ${PARTS} 300000)
  file(READ ${WORK}/setup.exe front LIMIT ${stub_size} HEX)
  file(READ ${stub} stub_bytes HEX)
  if(NOT front STREQUAL stub_bytes)
    message(FATAL_ERROR "setup.exe does not start with the stub")
  endif()
  zorellz(0 extract ${WORK}/setup.exe ${WORK}/out --yes)
  expect_match("${OUT}" "setup.exe: 6 files extracted")
  expect_same_tree(${WORK}/tree ${WORK}/out)
  # Part 1 must hold the stub and the archive's header.
  zorellz(1 create ${WORK}/large-stub.exe ${WORK}/tree/* --stub ${stub} --span 100000 --yes)
  expect_match("${ERR}" "^zorellz: [^\n]*large-stub.exe: a disk of 100,000 bytes is too small for this archive \\(part 1 must hold the stub[^\n]*\n$")
  expect_no_work_files()

elseif(SCENARIO STREQUAL "create_span_fits")
  # An archive that fits on one disk is the archive that create makes
  # without --span, ordinary or self-extracting.
  make_tree(${WORK}/tree)
  zorellz(0 create ${WORK}/plain.lza ${WORK}/tree/* --recurse full --level fast --quiet)
  zorellz(0 create ${WORK}/zip.lza ${WORK}/tree/* --recurse full --level fast --span zip)
  expect_match("${OUT}" "^[^\n]*zip.lza: 4 files, [0-9]+ -> [0-9]+ bytes \\([0-9.]+%\\), [0-9.]+ s; written as one file: [^\n]*zip.lza\n$")
  expect_same_file(${WORK}/plain.lza ${WORK}/zip.lza)
  if(EXISTS ${WORK}/zip.2)
    message(FATAL_ERROR "zip.2 was written")
  endif()
  set(stub ${CORPUS}/fireworks.jpeg)
  zorellz(0 create ${WORK}/plain.exe ${WORK}/tree/* --stub ${stub} --quiet)
  zorellz(0 create ${WORK}/zip.exe ${WORK}/tree/* --stub ${stub} --span zip --quiet)
  expect_same_file(${WORK}/plain.exe ${WORK}/zip.exe)
  # A disk of exactly the archive's size takes it whole; a byte less makes
  # two parts.
  file(SIZE ${WORK}/plain.lza size)
  zorellz(0 create ${WORK}/exact.lza ${WORK}/tree/* --recurse full --level fast --span ${size})
  expect_same_file(${WORK}/plain.lza ${WORK}/exact.lza)
  math(EXPR smaller "${size} - 1")
  zorellz(0 create ${WORK}/over.lza ${WORK}/tree/* --recurse full --level fast --span ${smaller})
  expect_written_parts(${WORK}/over.lza)
  expect_parts(${WORK}/over.lza 2 ${smaller})
  zorellz(0 extract ${WORK}/over.lza ${WORK}/out --yes --quiet)
  expect_same_tree(${WORK}/tree ${WORK}/out)
  expect_no_work_files()
  # From a temporary folder on another file system the archive is copied,
  # not renamed; the result is the same.
  if(IS_DIRECTORY /dev/shm)
    string(RANDOM LENGTH 12 tail)
    set(ENV{TEMP} /dev/shm/zorellz-span-${tail})
    zorellz(0 create ${WORK}/copied.lza ${WORK}/tree/* --recurse full --level fast --span zip)
    file(GLOB left $ENV{TEMP}/*)
    file(REMOVE_RECURSE $ENV{TEMP})
    expect_same_file(${WORK}/plain.lza ${WORK}/copied.lza)
    if(left)
      message(FATAL_ERROR "left in the temporary folder: ${left}")
    endif()
  endif()

elseif(SCENARIO STREQUAL "create_span_sizes")
  # Disk types by name; anything but a positive 32-bit byte count is
  # refused before anything is built.
  make_tree(${WORK}/tree)
  zorellz(0 create ${WORK}/floppy.lza ${WORK}/tree/* --span 1440 --quiet)
  expect_archive(${WORK}/floppy.lza 0 2)
  foreach(size 0 abc -5 2147483648)
    zorellz(1 create ${WORK}/refused.lza ${WORK}/tree/* --span ${size})
    expect_match("${ERR}" "^--span: the disk size is a byte count from 1 to 2147483647, or one of 1440, ")
  endforeach()
  zorellz(1 create ${WORK}/refused.lza ${WORK}/tree/* --yes)
  expect_match("${ERR}" "^--yes requires --span")
  if(EXISTS ${WORK}/refused.lza)
    message(FATAL_ERROR "refused.lza was written")
  endif()
  # A disk must hold a part trailer twice over.
  zorellz(1 create ${WORK}/tiny.lza ${WORK}/tree/* --span 100)
  expect_match("${ERR}" "^zorellz: [^\n]*tiny.lza: a disk of 100 bytes is too small for this archive\n$")
  expect_no_work_files()

elseif(SCENARIO STREQUAL "create_span_nothing")
  # A mask that matches no file writes no disk at all.
  make_tree(${WORK}/tree)
  zorellz(1 create ${WORK}/none.lza ${WORK}/tree/*.none --span 300000 --yes)
  expect_match("${ERR}" "^zorellz: [^\n]*none.lza: nothing to archive; no disk written\n$")
  if(EXISTS ${WORK}/none.lza)
    message(FATAL_ERROR "none.lza was written")
  endif()
  expect_no_work_files()

elseif(SCENARIO STREQUAL "create_span_failures")
  make_tree(${WORK}/tree)
  # Part 2 under the archive's own name.
  zorellz(1 create ${WORK}/x.2 ${WORK}/tree/* --recurse full --level store --span 300000)
  expect_match("${ERR}" "^zorellz: [^\n]*x.2: its extension is a part number[^\n]*\n$")
  # A folder in the place of part 2: part 1 stays, the command names part 2.
  file(MAKE_DIRECTORY ${WORK}/d.2)
  zorellz(1 create ${WORK}/d.lza ${WORK}/tree/* --recurse full --level store --span 300000)
  expect_match("${ERR}" "^zorellz: [^\n]*/d.2: is a folder\n$")
  zorellz(1 create ${WORK}/no-such-folder/a.lza ${WORK}/tree/* --span 300000)
  expect_match("${ERR}" "^zorellz: [^\n]*no-such-folder/a.lza: its folder does not exist\n$")
  expect_no_work_files()
  # On a terminal each disk is asked for; no at disk 2 stops the command and
  # leaves part 1.
  # (Where `script` can open a pseudo-terminal.)
  find_program(SCRIPT script)
  if(SCRIPT)
    execute_process(COMMAND ${SCRIPT} -qec true /dev/null INPUT_FILE /dev/null
                    RESULT_VARIABLE no_terminal OUTPUT_QUIET ERROR_QUIET TIMEOUT 10)
  endif()
  if(SCRIPT AND no_terminal EQUAL 0)
    execute_process(
      COMMAND bash -c "printf 'y\\nn\\n' | \"$0\" -qec \"$(printf '%q ' \"$@\")\" /dev/null"
              ${SCRIPT} ${ZORELLZ} create ${WORK}/p.lza ${WORK}/tree/* --recurse full
              --level store --span 300000
      RESULT_VARIABLE status OUTPUT_VARIABLE terminal TIMEOUT 60)
    if(NOT status EQUAL 1)
      message(FATAL_ERROR "declined at disk 2: status ${status}\n${terminal}")
    endif()
    expect_match("${terminal}" "Insert disk 1 of 2 into [^\n]* \\(needs 299,917 bytes free\\)\\. Continue\\? \\[y/n\\] ")
    expect_match("${terminal}" "zorellz: [^\n]*/p.2: stopped at the prompt for disk 2 of 2; part 1 was written")
    if(NOT EXISTS ${WORK}/p.lza OR EXISTS ${WORK}/p.2)
      message(FATAL_ERROR "part 1 alone should have been written")
    endif()
    expect_no_work_files()
  endif()

else()
  message(FATAL_ERROR "unknown scenario ${SCENARIO}")
endif()
