# A build that leaves a chain of folders far deeper than a grader could
# remove one descriptor per level; the loop is bounded.
i=0
while [ "$i" -lt 2000 ]; do
  mkdir d && cd d || exit 1
  i=$((i + 1))
done
exit 1
