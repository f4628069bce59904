# Writes the man pages of orvell and orvell-cli and the bash completion of
# orvell-cli from orvell-cli's own help, so they cannot drift from it.
# cmake -DCLI=path/to/orvell-cli -DOUT=dir -DVERSION=x.y.z -P GenerateDocs.cmake

function(help out)
  execute_process(COMMAND ${CLI} help ${ARGN} OUTPUT_VARIABLE text RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "orvell-cli help ${ARGN} failed (${status})")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Help text as a troff block shown as it is printed.
function(troff_block out text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} ".nf\n${text}.fi\n" PARENT_SCOPE)
endfunction()

help(overview)
# "Commands:" lines: two spaces, the command, its usage.
string(REGEX MATCH "Commands:\n(  [^\n]+\n)+" block "${overview}")
string(REGEX MATCHALL "  ([a-z-]+)[^\n]*" lines "${block}")
set(commands "")
set(sections "")
set(cases "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^  ([a-z-]+).*" "\\1" command "${line}")
  list(APPEND commands ${command})
  help(text ${command})
  troff_block(block "${text}")
  string(APPEND sections ".SS ${command}\n${block}")
  string(REGEX MATCHALL "--[a-z-]+" options "${text}")
  list(REMOVE_DUPLICATES options)
  list(JOIN options " " options)
  string(APPEND cases "    ${command}) opts=\"${options}\" ;;\n")
endforeach()
list(JOIN commands " " command_words)

help(send_help send)
string(REGEX MATCHALL "\n  ([a-zA-Z]+)" sends "${send_help}")
set(send_words "")
foreach(s IN LISTS sends)
  string(STRIP "${s}" s)
  string(APPEND send_words "${s} ")
endforeach()
string(STRIP "${send_words}" send_words)

troff_block(overview_block "${overview}")
file(WRITE ${OUT}/orvell-cli.1
".TH ORVELL-CLI 1 \"\" \"Orvell ${VERSION}\" \"User Commands\"
.SH NAME
orvell-cli \\- the command-line companion of Orvell, the script prompter
.SH SYNOPSIS
.B orvell-cli
.I COMMAND
[\\fIOPTIONS\\fR]
.SH DESCRIPTION
${overview_block}.SH COMMANDS
${sections}.SH SEE ALSO
.BR orvell (1)
")

troff_block(send_block "${send_help}")
file(WRITE ${OUT}/orvell.1
".TH ORVELL 1 \"\" \"Orvell ${VERSION}\" \"User Commands\"
.SH NAME
orvell \\- a script prompter that hangs your script under the camera
.SH SYNOPSIS
.B orvell
.SH DESCRIPTION
Orvell shows the script in a black island at the top centre of the screen,
right under a laptop's webcam, so the speaker reads while looking into the
camera. It stays above other windows, lets clicks pass beside it, and is
driven by global shortcuts, its tray menu and its floating controls while a
presentation or video call stays in front. Scripts live in a library, written
in the app or imported; playback scrolls at a chosen speed, or follows the
speaker's voice, or lights each word when it is due to land on a target time.
Everything stays on this computer.
.PP
A second start brings the running Orvell forward. The running Orvell takes
commands on the session bus (org.orvell.Orvell), which
.B orvell-cli send
sends:
.PP
${send_block}.SH FILES
.TP
.I ~/.config/org.orvell.Orvell.conf
Settings, read again when another program changes them.
.TP
.I ~/.local/share/org.orvell.Orvell/
The library: one text file per script and its index.
.SH SEE ALSO
.BR orvell-cli (1)
")

file(WRITE ${OUT}/orvell-cli.bash
"# bash completion for orvell-cli, written from its own help.
_orvell_cli() {
  local cur=\${COMP_WORDS[COMP_CWORD]} command=\${COMP_WORDS[1]} opts
  if [ \"\$COMP_CWORD\" -eq 1 ]; then
    COMPREPLY=( \$(compgen -W \"${command_words} help\" -- \"\$cur\") )
    return
  fi
  case \"\$command\" in
    send) COMPREPLY=( \$(compgen -W \"${send_words}\" -- \"\$cur\") ); return ;;
    help) COMPREPLY=( \$(compgen -W \"${command_words}\" -- \"\$cur\") ); return ;;
${cases}    *) opts=\"\" ;;
  esac
  if [[ \"\$cur\" == -* ]]; then
    COMPREPLY=( \$(compgen -W \"\$opts\" -- \"\$cur\") )
  else
    COMPREPLY=( \$(compgen -f -- \"\$cur\") )
  fi
}
complete -o filenames -F _orvell_cli orvell-cli
")
