# The text entry's screen, and the desktop's terminal: how to erase, and the drives as they are now.
if [ "$(id -u)" -eq 0 ] && [ -t 0 ] && [ -r /usr/share/vellumar-live/welcome.txt ]; then
  cat /usr/share/vellumar-live/welcome.txt
  /usr/bin/vellumar-cli list
  echo
fi
