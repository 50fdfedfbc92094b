# A build that shows who may read and write its copy of the folder, and
# fails, so that the grader quotes what it printed.
stat -c "%a %n" . build.sh
exit 1
