/*
** sort_worker.cpp
** The worker's loop. It is kept small and plain on purpose: the routine
** shares the process and may overwrite anything here, so nothing here is
** believed by the judge; it only carries the head of a list each way.
**
**   judge:  map ADDRESS BYTES   (with the memory's descriptor)
**   worker: ready batches      ("ready" alone: a library from before "sorts")
**   judge:  sort HEAD K X
**   worker: sorted HEAD
**   judge:  sorts TABLE COUNT K X
**   worker: sorted all
**
** "sorts" asks for many small lists in one call, so that a list small
** enough to stay in the first caches is timed over more than the clock's
** grain: TABLE, in the shared memory, holds COUNT heads, each replaced by
** the head of its list once sorted.
*/
#include "sort_profile/sort_worker.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr size_t Longest_Line = 128;

/* One line from the judge into Line (without its end); false when the
** judge has hung up or sent no line. Descriptor gets one passed with it.
** The judge sends a line and waits for the answer, so a read takes the
** whole line at once: one call, which the sort's time then holds. */
bool Take_Line(int Link, char (&Line)[Longest_Line], int* Descriptor) {
  size_t Have = 0;
  while (Have + 1 < Longest_Line) {
    char Control[CMSG_SPACE(sizeof(int))] = {};
    iovec Piece{Line + Have, Longest_Line - 1 - Have};
    msghdr Message{};
    Message.msg_iov = &Piece, Message.msg_iovlen = 1;
    Message.msg_control = Control, Message.msg_controllen = sizeof Control;
    ssize_t Got = recvmsg(Link, &Message, MSG_CMSG_CLOEXEC);
    if (Got < 0 && errno == EINTR) continue;
    if (Got <= 0) return false;
    cmsghdr* Header = CMSG_FIRSTHDR(&Message);
    if (Descriptor != nullptr && Header != nullptr && Header->cmsg_type == SCM_RIGHTS)
      std::memcpy(Descriptor, CMSG_DATA(Header), sizeof(int));
    Have += static_cast<size_t>(Got);
    Line[Have] = '\0';
    if (char* End = std::strchr(Line, '\n')) {
      *End = '\0';
      return true;
    }
  }
  return false;
}

/* Lets no instruction of the next list's sort start before the last
** one's are done. Sorted back to back, the start of one list overlaps,
** out of order, with the end of the one before, the more so the shorter
** the lists: a linear routine then seems to cost more per item as its
** lists grow (a natural merge sort on sorted lists rose by a tenth to a
** fifth a doubling), close to what a log n factor adds. */
inline void Fence_Between_Sorts() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_lfence();
#elif defined(__aarch64__)
  asm volatile("dsb sy\n\tisb" ::: "memory");
#endif
}

void Answer(int Link, const char* Text) {
  size_t Length = std::strlen(Text);
  for (size_t Done = 0; Done < Length;) {
    ssize_t Wrote = send(Link, Text + Done, Length - Done, MSG_NOSIGNAL);
    if (Wrote < 0 && errno == EINTR) continue;
    if (Wrote <= 0) _exit(0);
    Done += static_cast<size_t>(Wrote);
  }
}

int Connect(const char* Socket_Path) {
  int Link = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un Address{};
  Address.sun_family = AF_UNIX;
  if (Link < 0 || std::strlen(Socket_Path) >= sizeof Address.sun_path) return -1;
  std::strcpy(Address.sun_path, Socket_Path);
  if (connect(Link, reinterpret_cast<sockaddr*>(&Address), sizeof Address) != 0) return -1;
  return Link;
}

}  // namespace

[[noreturn]] void Serve_Sorts(const char* Socket_Path, Sort_Routine Sort) {
  int Link = Connect(Socket_Path);
  if (Link < 0) {
    std::fprintf(stderr, "cannot reach the judge at %s: %s\n", Socket_Path, std::strerror(errno));
    _exit(2);
  }
  char Line[Longest_Line];
  int Memory = -1;
  unsigned long long Address = 0, Bytes = 0;
  if (!Take_Line(Link, Line, &Memory) || std::sscanf(Line, "map %llx %llu", &Address, &Bytes) != 2 || Memory < 0)
    _exit(2);
  void* Mapped = mmap(reinterpret_cast<void*>(Address), Bytes, PROT_READ | PROT_WRITE,
                      MAP_SHARED | MAP_FIXED_NOREPLACE, Memory, 0);
  Answer(Link, Mapped == reinterpret_cast<void*>(Address) ? "ready batches\n" : "cannot map\n");
  for (;;) {
    unsigned long long Head = 0, Count = 0;
    int K = 0, X = 0;
    if (!Take_Line(Link, Line, nullptr)) _exit(0);
    if (std::sscanf(Line, "sorts %llx %llu %d %d", &Head, &Count, &K, &X) == 4) {
      SL_Node** Table = reinterpret_cast<SL_Node**>(Head);
      for (unsigned long long I = 0; I < Count; I++) {
        Sort(&Table[I], K, X);
        Fence_Between_Sorts();
      }
      Answer(Link, "sorted all\n");
      continue;
    }
    if (std::sscanf(Line, "sort %llx %d %d", &Head, &K, &X) != 3) _exit(0);
    SL_Node* List = reinterpret_cast<SL_Node*>(Head);
    Sort(&List, K, X);
    char Sorted[40];
    std::snprintf(Sorted, sizeof Sorted, "sorted %llx\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(List)));
    Answer(Link, Sorted);
  }
}
