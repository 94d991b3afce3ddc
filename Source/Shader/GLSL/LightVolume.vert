#version 330
// One light's volume (shadowed point lights, spot lights): the light itself is in the Light block.
layout(std140) uniform Projection {
	mat4 mProjectionMatrix;
};
layout(std140) uniform Model {
	mat4 mModelViewMatrix;
	mat3 mNormalMatrix;
};
in vec4 vVertex;

void main() {
	gl_Position = mProjectionMatrix * mModelViewMatrix * vVertex;
}
