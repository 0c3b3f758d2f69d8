# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Vardell authors
# fish completion for vardell-cli: its commands, options, option values and folders.

set -l commands compare sync
complete -c vardell-cli -f
complete -c vardell-cli -n "not __fish_seen_subcommand_from $commands" -a compare -d 'Report the differences'
complete -c vardell-cli -n "not __fish_seen_subcommand_from $commands" -a sync -d 'Make the mirror equal to the master'
complete -c vardell-cli -n "__fish_seen_subcommand_from $commands" -a '(__fish_complete_directories)'

complete -c vardell-cli -s t -l type -x -a 'size-time binary all' -d 'How files are compared'
complete -c vardell-cli -s c -l case-sensitive -d 'Names that differ in letter case are different'
complete -c vardell-cli -l no-subfolders -d 'Compare or sync the top folders only'
complete -c vardell-cli -s k -l keep-extra -d 'Keep entries that exist only in the mirror'
complete -c vardell-cli -s x -l exclude -x -d 'Do not walk into folders whose path contains TEXT'
complete -c vardell-cli -l exclude-from -r -F -d 'Read exclusion texts from FILE'
complete -c vardell-cli -l allow-system-volume -d 'Allow a mirror on the volume mounted at /'
complete -c vardell-cli -l names-differ -x -a 'continue create' -d 'What to do when the folder names differ'
complete -c vardell-cli -l allow-empty-master -d 'Let an empty master empty the mirror'
complete -c vardell-cli -s e -l every -x -d 'Run again every MINUTES'
complete -c vardell-cli -s q -l quiet -d 'Write only the verdict and the summary'
complete -c vardell-cli -l color -x -a 'auto always never' -d 'Colour the status lines'
complete -c vardell-cli -l format -x -a 'text jsonl' -d 'Form of the status lines'
complete -c vardell-cli -s n -l dry-run -d 'Say what a sync would do, change nothing'
complete -c vardell-cli -s h -l help -d 'Show the help and exit'
complete -c vardell-cli -s V -l version -d 'Show the version and exit'
