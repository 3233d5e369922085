# End-to-end checks of `zorellz create` and `zorellz compress`, one scenario
# per CTest entry:
#   cmake -DZORELLZ=<tool> -DCORPUS=<folder> -DWORK=<scratch> -DSCENARIO=<name> -P <this file>
# Every archive made here is read back by `zorellz info`, whose directory
# check covers the entries, the names and the directory CRC.

# zorellz(<expected status> <arguments...>): runs the tool; its stdout and
# stderr are left in OUT and ERR.
function(zorellz expected)
  execute_process(COMMAND ${ZORELLZ} ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
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

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

# Three levels of folders, an empty file among them.
function(make_tree root)
  file(MAKE_DIRECTORY ${root}/sub/deeper)
  file(COPY ${CORPUS}/alice29.txt DESTINATION ${root})
  file(COPY ${CORPUS}/lcet10.txt DESTINATION ${root}/sub)
  file(WRITE ${root}/sub/deeper/small.txt "a few words\n")
  file(WRITE ${root}/empty.dat "")
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

else()
  message(FATAL_ERROR "unknown scenario ${SCENARIO}")
endif()
