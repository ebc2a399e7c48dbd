// The ROS 2 Humble message definitions the Kinect node's messages use, as
// their public .msg texts give them (comments left out, constants kept).
export const msgTexts = {
  "builtin_interfaces/msg/Time": `
int32 sec
uint32 nanosec`,
  "std_msgs/msg/Header": `
builtin_interfaces/Time stamp
string frame_id`,
  "sensor_msgs/msg/Image": `
std_msgs/Header header
uint32 height
uint32 width
string encoding
uint8 is_bigendian
uint32 step
uint8[] data`,
  "sensor_msgs/msg/RegionOfInterest": `
uint32 x_offset
uint32 y_offset
uint32 height
uint32 width
bool do_rectify`,
  "sensor_msgs/msg/CameraInfo": `
std_msgs/Header header
uint32 height
uint32 width
string distortion_model
float64[] d
float64[9] k
float64[9] r
float64[12] p
uint32 binning_x
uint32 binning_y
RegionOfInterest roi`,
  "sensor_msgs/msg/PointField": `
uint8 INT8=1
uint8 UINT8=2
uint8 INT16=3
uint8 UINT16=4
uint8 INT32=5
uint8 UINT32=6
uint8 FLOAT32=7
uint8 FLOAT64=8
string name
uint32 offset
uint8 datatype
uint32 count`,
  "sensor_msgs/msg/PointCloud2": `
std_msgs/Header header
uint32 height
uint32 width
PointField[] fields
bool is_bigendian
uint32 point_step
uint32 row_step
uint8[] data
bool is_dense`,
  "geometry_msgs/msg/Vector3": `
float64 x
float64 y
float64 z`,
  "geometry_msgs/msg/Quaternion": `
float64 x 0
float64 y 0
float64 z 0
float64 w 1`,
  "sensor_msgs/msg/Imu": `
std_msgs/Header header
geometry_msgs/Quaternion orientation
float64[9] orientation_covariance
geometry_msgs/Vector3 angular_velocity
float64[9] angular_velocity_covariance
geometry_msgs/Vector3 linear_acceleration
float64[9] linear_acceleration_covariance`,
  "geometry_msgs/msg/Transform": `
Vector3 translation
Quaternion rotation`,
  "geometry_msgs/msg/TransformStamped": `
std_msgs/Header header
string child_frame_id
Transform transform`,
  "tf2_msgs/msg/TFMessage": `
geometry_msgs/TransformStamped[] transforms`,
};
