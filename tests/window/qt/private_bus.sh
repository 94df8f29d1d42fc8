# Source it. private_bus_config FILE SERVICES: writes to FILE the configuration
# of a session bus that activates only the services in the folder SERVICES,
# none of the system's (a real file manager there would answer in a stand-in's
# place). Start it with: dbus-daemon --config-file=FILE ...
private_bus_config() {
  local file="$1" services="$2"
  mkdir -p "$services"
  cat >"$file" <<CONFIG
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <keep_umask/>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <servicedir>$services</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONFIG
}
