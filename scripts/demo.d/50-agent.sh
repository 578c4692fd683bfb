# demo: zarvek_agent: the tray menu and its "Операции" submenu, saved as PNG
set -euo pipefail
export QARN_WINE_LOCALE=ru  # the menu's texts are in code page 1251
agent="Z:$QARN_BUILD/TrayApplication/zarvek_agent.exe"
driver="Z:$QARN_BUILD/tests/zarvek_agent/zarvek_agent_demo_driver.exe"
shots="$QARN_BUILD/demo"
mkdir -p "$shots"

"$QARN_WINE_RUN" regsvr32 /s "Z:$QARN_BUILD/Outside/SuiteComponents/SuiteComponents.dll"
"$QARN_WINE_RUN" "$agent" &
agent_job=$!
trap '"$QARN_WINE_RUN" "$driver" close || true; wait "$agent_job" || true' EXIT

# Saves the screen, cut down to what is drawn on it.
screenshot() {
  import -display "$DISPLAY_FOR_WINE" -window root "$shots/$1.full.png"
  convert "$shots/$1.full.png" -trim +repage "$shots/$1.png"
  rm -f "$shots/$1.full.png"
  echo "saved $shots/$1.png"
}

"$QARN_WINE_RUN" "$driver" menu
sleep 1
screenshot zarvek_agent-menu
"$QARN_WINE_RUN" "$driver" operations
sleep 1
screenshot zarvek_agent-operations
"$QARN_WINE_RUN" "$driver" escape
