# A "simulator" that prints the file its command names, as a student's
# program would if that file were a link to the grader's /proc/self.
cat "$1" >&2
exit 1
