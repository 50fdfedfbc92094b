/* Connects to the listener on 127.0.0.1, port argv[1], that a test
** started, and says so; a run with no network cannot. */
#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  struct sockaddr_in To = {0};
  To.sin_family = AF_INET;
  To.sin_port = htons((unsigned short)atoi(argv[1]));
  To.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int Socket = socket(AF_INET, SOCK_STREAM, 0);
  if (Socket < 0 || connect(Socket, (struct sockaddr*)&To, sizeof To) != 0) {
    perror("connect to 127.0.0.1");
    return 1;
  }
  fputs("connected\n", stderr);
  close(Socket);
  return 0;
}
